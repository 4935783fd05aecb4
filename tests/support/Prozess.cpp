#include "support/Prozess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "support/SchmalCodec.h"

#ifndef BRIXFILTER_BIN
#define BRIXFILTER_BIN "brixfilter"
#endif

namespace {

[[noreturn]] void Scheitern(const char* pWas)
{
    throw std::runtime_error(std::string(pWas) + ": " + std::to_string(errno));
}

void SchliesseFalls(int& fd)
{
    if (fd >= 0) close(fd);
    fd = -1;
}

// A temporary regular file holding bytes, positioned at its start and already unlinked.
int TempDateiMit(const std::string& bytes)
{
    char name[] = "/tmp/brix_stdin_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) Scheitern("mkstemp");
    unlink(name);
    std::size_t nGeschrieben = 0;
    while (nGeschrieben < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + nGeschrieben, bytes.size() - nGeschrieben);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Scheitern("write");
        nGeschrieben += static_cast<std::size_t>(n);
    }
    if (lseek(fd, 0, SEEK_SET) != 0) Scheitern("lseek");
    return fd;
}

// Reads what is available from fd into ziel; closes fd at its end.
void LiesVerfuegbar(int& fd, std::string& ziel)
{
    char puffer[65536];
    const ssize_t n = read(fd, puffer, sizeof puffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        SchliesseFalls(fd);
        return;
    }
    ziel.append(puffer, static_cast<std::size_t>(n));
}

// The environment variable's value, or empty.
std::string Umgebung(const char* pName)
{
    const char* p = std::getenv(pName);
    return p ? std::string(p) : std::string();
}

}  // namespace

std::vector<std::string> Programmaufruf()
{
    std::vector<std::string> woerter;
    const std::string strAusfuehrer = Umgebung("BRIX_AUSFUEHRER");
    std::size_t i = 0;
    while ((i = strAusfuehrer.find_first_not_of(' ', i)) != std::string::npos) {
        const std::size_t nEnde = std::min(strAusfuehrer.find(' ', i), strAusfuehrer.size());
        woerter.push_back(strAusfuehrer.substr(i, nEnde - i));
        i = nEnde;
    }
    const std::string strProgramm = Umgebung("BRIX_PROGRAMM");
    woerter.push_back(strProgramm.empty() ? std::string(BRIXFILTER_BIN) : strProgramm);
    return woerter;
}

std::string ProgrammFuerShell()
{
    std::string strZeile;
    for (const std::string& strWort : Programmaufruf()) {
        if (!strZeile.empty()) strZeile += ' ';
        strZeile += '\'';
        for (const char c : strWort) strZeile += c == '\'' ? std::string("'\\''") : std::string(1, c);
        strZeile += '\'';
    }
    return strZeile;
}

bool MitAusfuehrer() { return Programmaufruf().size() > 1; }

bool ArgumenteErreichenDasProgramm(const std::vector<std::string>& args)
{
    if (!MitAusfuehrer()) return true;
    std::size_t nEinheiten = 0;
    for (const std::string& strArg : args) {
        // The strict decoder of the tests turns each byte that is not valid UTF-8 into a unit
        // DC80..DCFF, which valid UTF-8 never gives.
        const auto* p = reinterpret_cast<const unsigned char*>(strArg.data());
        std::u16string units(static_cast<std::size_t>(SchmalZaehle(p, strArg.size())), u'\0');
        SchmalZuUtf16(units.data(), p, strArg.size());
        for (const char16_t u : units)
            if (u >= 0xDC80 && u <= 0xDCFF) return false;
        nEinheiten += units.size() + 3;  // quotes and the blank between arguments
    }
    return nEinheiten < 32767;
}

ProzessErgebnis StarteProzess(const std::vector<std::string>& args, const std::string& stdinBytes,
                              const ProzessOptionen& optionen)
{
    // A child that stops reading must not kill the test with SIGPIPE; the child resets it.
    signal(SIGPIPE, SIG_IGN);

    std::vector<std::string> alleArgs =
        optionen.programm.empty() ? Programmaufruf() : std::vector<std::string>{optionen.programm};
    alleArgs.insert(alleArgs.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : alleArgs) argv.push_back(s.data());
    argv.push_back(nullptr);

    int inPipe[2] = {-1, -1}, outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
    int fdStdinDatei = -1, fdDevNull = -1, fdDevFull = -1, fdTerminal = -1, fdTerminalSeite = -1;
    switch (optionen.stdinArt) {
    case StdinArt::Pipe:
        if (pipe2(inPipe, O_CLOEXEC) != 0) Scheitern("pipe");
        break;
    case StdinArt::Datei: fdStdinDatei = TempDateiMit(stdinBytes); break;
    case StdinArt::DevNull:
        fdDevNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fdDevNull < 0) Scheitern("open /dev/null");
        break;
    case StdinArt::Geschlossen: break;
    case StdinArt::Deskriptor:
        if (optionen.fdStdin < 0) Scheitern("fdStdin");
        break;
    case StdinArt::Terminal:
        // The bytes wait in the terminal's input queue as typed (line by line, Ctrl-D an end).
        fdTerminal = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fdTerminal < 0 || grantpt(fdTerminal) != 0 || unlockpt(fdTerminal) != 0) Scheitern("posix_openpt");
        fdTerminalSeite = open(ptsname(fdTerminal), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fdTerminalSeite < 0) Scheitern("open pts");
        if (write(fdTerminal, stdinBytes.data(), stdinBytes.size()) != static_cast<ssize_t>(stdinBytes.size()))
            Scheitern("write pty");
        {
            // The terminal hands typed bytes on to its line discipline later: wait until the
            // first line can be read, so that what the child leaves unread is all there.
            pollfd bereit{fdTerminalSeite, POLLIN, 0};
            if (!stdinBytes.empty() && poll(&bereit, 1, 10000) != 1) Scheitern("poll pty");
        }
        break;
    }
    if (optionen.stdoutArt == StdoutArt::Pipe || optionen.stdoutArt == StdoutArt::PipeOhneLeser) {
        if (pipe2(outPipe, O_CLOEXEC) != 0) Scheitern("pipe");
        if (optionen.stdoutArt == StdoutArt::PipeOhneLeser) SchliesseFalls(outPipe[0]);
    } else if (optionen.stdoutArt == StdoutArt::DevFull) {
        fdDevFull = open("/dev/full", O_WRONLY | O_CLOEXEC);
        if (fdDevFull < 0) Scheitern("open /dev/full");
    }
    if (pipe2(errPipe, O_CLOEXEC) != 0) Scheitern("pipe");

    const pid_t pid = fork();
    if (pid < 0) Scheitern("fork");
    if (pid == 0) {
        // Child: only async-signal-safe calls from here to exec.
        const int fdIn = inPipe[0] >= 0         ? inPipe[0]
                         : fdStdinDatei >= 0    ? fdStdinDatei
                         : fdDevNull >= 0       ? fdDevNull
                         : fdTerminalSeite >= 0 ? fdTerminalSeite
                         : optionen.stdinArt == StdinArt::Deskriptor ? optionen.fdStdin
                                                                      : -1;
        const int fdOut = outPipe[1] >= 0 ? outPipe[1] : fdDevFull;
        if (fdIn >= 0) {
            if (dup2(fdIn, 0) < 0) _exit(126);
        } else {
            close(0);
        }
        if (fdOut >= 0) {
            if (dup2(fdOut, 1) < 0) _exit(126);
        } else {
            close(1);
        }
        if (dup2(errPipe[1], 2) < 0) _exit(126);
        signal(SIGPIPE, optionen.bSigpipeIgnorieren ? SIG_IGN : SIG_DFL);
        if (!optionen.arbeitsVerzeichnis.empty() && chdir(optionen.arbeitsVerzeichnis.c_str()) != 0) _exit(126);
        if (optionen.nAdressraum >= 0) {
            const rlimit grenze{static_cast<rlim_t>(optionen.nAdressraum), static_cast<rlim_t>(optionen.nAdressraum)};
            if (setrlimit(RLIMIT_AS, &grenze) != 0) _exit(126);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }

    // Parent.
    SchliesseFalls(inPipe[0]);
    SchliesseFalls(outPipe[1]);
    SchliesseFalls(errPipe[1]);
    SchliesseFalls(fdStdinDatei);
    SchliesseFalls(fdDevNull);
    SchliesseFalls(fdDevFull);
    int fdIn = inPipe[1], fdOut = outPipe[0], fdErr = errPipe[0];
    if (fdIn >= 0) fcntl(fdIn, F_SETFL, fcntl(fdIn, F_GETFL) | O_NONBLOCK);

    ProzessErgebnis ergebnis;
    std::size_t nGeschrieben = 0;
    // The end of the piece being written (in pieces, none is begun yet).
    std::size_t nStueckEnde = optionen.aStuecke.empty() ? stdinBytes.size() : 0;
    std::size_t nStueck = 0;                      // pieces begun
    bool bErsteAusgabeGemeldet = false;
    if (fdIn >= 0 && stdinBytes.empty()) SchliesseFalls(fdIn);
    if (optionen.nachStart) optionen.nachStart(pid);
    while (fdIn >= 0 || fdOut >= 0 || fdErr >= 0) {
        // In pieces: the next one begins once the child has read what was written.
        int nImRohr = 0;
        if (fdIn >= 0 && !optionen.aStuecke.empty() && nGeschrieben == nStueckEnde &&
            ioctl(fdIn, FIONREAD, &nImRohr) == 0 && nImRohr == 0) {
            const std::size_t nLaenge = optionen.aStuecke[nStueck++ % optionen.aStuecke.size()];
            nStueckEnde = nGeschrieben + std::min(std::max<std::size_t>(nLaenge, 1), stdinBytes.size() - nGeschrieben);
        }
        const bool bSchreiben = nGeschrieben < nStueckEnde;
        pollfd fds[3];
        int n = 0;
        if (fdIn >= 0) fds[n++] = {fdIn, static_cast<short>(bSchreiben ? POLLOUT : 0), 0};
        if (fdOut >= 0) fds[n++] = {fdOut, POLLIN, 0};
        if (fdErr >= 0) fds[n++] = {fdErr, POLLIN, 0};
        // Waiting for the child to read a piece: look again soon.
        const timespec kurz{0, 100000};
        if (ppoll(fds, static_cast<nfds_t>(n), fdIn >= 0 && !bSchreiben ? &kurz : nullptr, nullptr) < 0) {
            if (errno == EINTR) continue;
            Scheitern("poll");
        }
        for (int i = 0; i < n; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == fdIn) {
                // The child closed its input.
                if (!bSchreiben) {
                    SchliesseFalls(fdIn);
                    continue;
                }
                const ssize_t w = write(fdIn, stdinBytes.data() + nGeschrieben, nStueckEnde - nGeschrieben);
                if (w > 0) nGeschrieben += static_cast<std::size_t>(w);
                // The child may end without reading all of it: that is its business.
                if ((w < 0 && errno != EAGAIN && errno != EINTR) || nGeschrieben == stdinBytes.size())
                    SchliesseFalls(fdIn);
            } else if (fds[i].fd == fdOut) {
                LiesVerfuegbar(fdOut, ergebnis.out);
                if (!bErsteAusgabeGemeldet && !ergebnis.out.empty()) {
                    bErsteAusgabeGemeldet = true;
                    if (optionen.nachErsterAusgabe) optionen.nachErsterAusgabe();
                }
            } else if (fds[i].fd == fdErr) {
                LiesVerfuegbar(fdErr, ergebnis.err);
            }
        }
    }

    int nStatus = 0;
    while (waitpid(pid, &nStatus, 0) < 0) {
        if (errno != EINTR) Scheitern("waitpid");
    }
    if (WIFEXITED(nStatus))
        ergebnis.status = WEXITSTATUS(nStatus);
    else if (WIFSIGNALED(nStatus))
        ergebnis.status = 128 + WTERMSIG(nStatus);
    if (fdTerminalSeite >= 0) {
        int nUngelesen = -1;
        if (ioctl(fdTerminalSeite, FIONREAD, &nUngelesen) == 0) ergebnis.nUngelesen = nUngelesen;
        SchliesseFalls(fdTerminalSeite);
        SchliesseFalls(fdTerminal);
    }
    return ergebnis;
}

ProzessErgebnis StarteBrixfilter(const std::vector<std::string>& args, const std::string& stdinBytes, StdinArt art)
{
    ProzessOptionen optionen;
    optionen.stdinArt = art;
    return StarteProzess(args, stdinBytes, optionen);
}

std::string NeuesTempVerzeichnis()
{
    char name[] = "/tmp/brix_test_XXXXXX";
    if (!mkdtemp(name)) Scheitern("mkdtemp");
    return name;
}

void EntferneVerzeichnis(const std::string& strPfad)
{
    std::error_code ec;
    std::filesystem::remove_all(strPfad, ec);
}

bool SchreibeDatei(const std::string& strPfad, const std::string& bytes)
{
    std::ofstream datei(strPfad, std::ios::binary | std::ios::trunc);
    datei.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    datei.close();
    return static_cast<bool>(datei);
}
