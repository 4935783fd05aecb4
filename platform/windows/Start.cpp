#include "platform/Start.h"

#include <fcntl.h>
#include <io.h>

// The standard streams pass bytes unchanged: no CR LF translation, no end at byte 0x1A.
void RichteKanaeleEin() noexcept
{
    for (int fd = 0; fd <= 2; ++fd) _setmode(fd, _O_BINARY);
}
