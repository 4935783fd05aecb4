// Start-up on POSIX systems: the standard descriptors a caller left closed are filled.
#include "platform/Start.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

// A standard descriptor that the caller closed gets /dev/null in the direction that makes its
// use fail (reading standard input, writing standard output fail with EBADF), so that it is
// reported, and so that no file opened later takes its number and receives the output.
void RichteKanaeleEin() noexcept
{
    const int nRichtung[3] = {O_WRONLY, O_RDONLY, O_WRONLY};
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int fdNeu = open("/dev/null", nRichtung[fd]);
        if (fdNeu >= 0 && fdNeu != fd) {
            dup2(fdNeu, fd);
            close(fdNeu);
        }
    }
}
