#pragma once

#include <sys/resource.h>

// While it lives, no file of this process can grow beyond `bytes`: a write past the limit fails
// as it does on a full disk, whoever runs the test and without mounting anything. The signal the
// kernel sends for such a write is left as the test set it: a test that has not ignored it as
// the program does (RegularFile::ignoreFileSizeLimitSignal) is ended by it, as the program
// would be.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isSet() const { return set; }

private:
    rlimit previous {};
    bool set = false;
};
