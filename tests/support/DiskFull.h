#pragma once

// A disk that fills up under SQLite: while one lives, SQLite's files are written
// through a layer that, once fill() is called, refuses (SQLITE_FULL) every write
// that would make a data file longer. The journal still grows, so a commit writes
// it, overwrites the data file's pages in place and then fails at its first new
// page: the data file is whole only together with its journal, as on a real disk
// that filled up at that moment. Make it before the data module opens the file.
class DiskFull
{
public:
    DiskFull();
    ~DiskFull();
    DiskFull(const DiskFull &) = delete;
    DiskFull &operator=(const DiskFull &) = delete;

    void fill();
    void free();
};
