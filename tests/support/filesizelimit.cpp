#include "filesizelimit.h"

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    if (getrlimit(RLIMIT_FSIZE, &previous) != 0)
        return;
    rlimit small = previous;
    small.rlim_cur = bytes;
    set = setrlimit(RLIMIT_FSIZE, &small) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (set)
        setrlimit(RLIMIT_FSIZE, &previous);
}
