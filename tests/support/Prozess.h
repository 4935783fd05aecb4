// Runs a program (by default the program under test) as a child process with given arguments and
// standard-input bytes, and collects its standard output, standard error and exit status.
// For end-to-end tests of the command line.
//
// The program under test is the built brixfilter, unless the environment names another build:
// BRIX_PROGRAMM its path (say a brixfilter.exe), BRIX_AUSFUEHRER the command that runs it, as
// words split at blanks (say "wine"). Every command-line test then checks that build.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ProzessErgebnis {
    std::string out;  // bytes written to standard output
    std::string err;  // bytes written to standard error
    int status = -1;  // exit status, or 128 + signal number when a signal ended the child
    long nUngelesen = -1;  // StdinArt::Terminal: bytes of the typed input the child left unread
};

// What the child's standard input is.
enum class StdinArt {
    Pipe,        // a pipe fed with the given bytes, then closed
    Datei,       // a regular temporary file holding the bytes (already unlinked)
    DevNull,     // /dev/null; the bytes are ignored
    Geschlossen, // fd 0 closed
    Deskriptor,  // ProzessOptionen::fdStdin as it stands (its offset included); the bytes are ignored
    Terminal,    // a pseudo-terminal, the bytes typed into it before the child starts
};

// What the child's standard output is.
enum class StdoutArt {
    Pipe,            // a pipe that is read to its end
    DevFull,         // /dev/full: every write fails with ENOSPC
    Geschlossen,     // fd 1 closed
    PipeOhneLeser,   // a pipe whose read end is closed before the child starts
};

struct ProzessOptionen {
    StdinArt stdinArt = StdinArt::Pipe;
    StdoutArt stdoutArt = StdoutArt::Pipe;
    std::string arbeitsVerzeichnis;  // empty: the caller's
    std::string programm;            // empty: the program under test (with its runner)
    bool bSigpipeIgnorieren = false; // start the child with SIGPIPE ignored
    int fdStdin = -1;                // for StdinArt::Deskriptor; stays the caller's
    std::int64_t nAdressraum = -1;   // >= 0: the child's RLIMIT_AS in bytes
    // Called once, when the first bytes of standard output have arrived (the child is still
    // running unless it closed its output); the rest is drained after it returns.
    std::function<void()> nachErsterAusgabe;
    // Called once the child is started, with its process id (before its output is read).
    std::function<void(int)> nachStart;
    // StdinArt::Pipe: the lengths of the pieces the bytes are written in, in turn and over again
    // (a 0 counts as 1); each piece only once the child has read all before it, so that each of
    // its reads takes one piece. Empty: as fast as the child reads.
    std::vector<std::size_t> aStuecke;
};

// Runs the program with args (not including argv[0]) and stdinBytes on its standard input.
// Never deadlocks: input is fed and both outputs are drained together with poll.
ProzessErgebnis StarteProzess(const std::vector<std::string>& args, const std::string& stdinBytes,
                              const ProzessOptionen& optionen);

// The words that start the program under test: the runner's, then the program's path.
std::vector<std::string> Programmaufruf();
// The same words quoted for a shell command line.
std::string ProgrammFuerShell();
// True when the program under test runs through a runner (a build for another system): the
// cases that need what only a POSIX process of its own has (its address-space limit, the preload
// fault shim, its signals) do not apply there.
bool MitAusfuehrer();
// True when args reach the program under test as they are. Through a runner (a Windows build)
// the command line is UTF-16: only valid UTF-8 passes unchanged, and it holds at most 32,767
// units in all.
bool ArgumenteErreichenDasProgramm(const std::vector<std::string>& args);
// Skips the current test when the program under test runs through a runner; says why.
#define NUR_OHNE_AUSFUEHRER(grund)                                                                 \
    do {                                                                                           \
        if (MitAusfuehrer()) GTEST_SKIP() << "nicht mit BRIX_AUSFUEHRER: " << (grund);             \
    } while (false)

// The program under test with a standard input of the given kind.
ProzessErgebnis StarteBrixfilter(const std::vector<std::string>& args, const std::string& stdinBytes = {},
                                 StdinArt art = StdinArt::Pipe);

// A fresh temporary directory (removed with its files by EntferneVerzeichnis).
std::string NeuesTempVerzeichnis();
void EntferneVerzeichnis(const std::string& strPfad);
// Writes bytes to a file, replacing it; returns false on failure.
bool SchreibeDatei(const std::string& strPfad, const std::string& bytes);
