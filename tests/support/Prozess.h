// Runs a program (by default the built brixfilter) as a child process with given arguments and
// standard-input bytes, and collects its standard output, standard error and exit status.
// For end-to-end tests of the command line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ProzessErgebnis {
    std::string out;  // bytes written to standard output
    std::string err;  // bytes written to standard error
    int status = -1;  // exit status, or 128 + signal number when a signal ended the child
};

// What the child's standard input is.
enum class StdinArt {
    Pipe,        // a pipe fed with the given bytes, then closed
    Datei,       // a regular temporary file holding the bytes (already unlinked)
    DevNull,     // /dev/null; the bytes are ignored
    Geschlossen, // fd 0 closed
    Deskriptor,  // ProzessOptionen::fdStdin as it stands (its offset included); the bytes are ignored
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
    std::string programm;            // empty: the built brixfilter
    bool bSigpipeIgnorieren = false; // start the child with SIGPIPE ignored
    int fdStdin = -1;                // for StdinArt::Deskriptor; stays the caller's
    std::int64_t nAdressraum = -1;   // >= 0: the child's RLIMIT_AS in bytes
    // Called once, when the first bytes of standard output have arrived (the child is still
    // running unless it closed its output); the rest is drained after it returns.
    std::function<void()> nachErsterAusgabe;
};

// Runs the program with args (not including argv[0]) and stdinBytes on its standard input.
// Never deadlocks: input is fed and both outputs are drained together with poll.
ProzessErgebnis StarteProzess(const std::vector<std::string>& args, const std::string& stdinBytes,
                              const ProzessOptionen& optionen);

// The built brixfilter with a standard input of the given kind.
ProzessErgebnis StarteBrixfilter(const std::vector<std::string>& args, const std::string& stdinBytes = {},
                                 StdinArt art = StdinArt::Pipe);

// A fresh temporary directory (removed with its files by EntferneVerzeichnis).
std::string NeuesTempVerzeichnis();
void EntferneVerzeichnis(const std::string& strPfad);
// Writes bytes to a file, replacing it; returns false on failure.
bool SchreibeDatei(const std::string& strPfad, const std::string& bytes);
