#include "device/CustomBaud.h"
#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace vexo {

int SetCustomBaud(int AFd, int ABaud) {
    termios2 tio{};
    if (::ioctl(AFd, TCGETS2, &tio) != 0) return errno;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(ABaud);
    tio.c_ospeed = static_cast<speed_t>(ABaud);
    if (::ioctl(AFd, TCSETS2, &tio) != 0) return errno;
    return 0;
}

} // namespace vexo
