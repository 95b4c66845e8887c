#pragma once
// What tells one state of a file on disk from another: its size, its
// modification time and which file it is (device and inode). A save through
// a temporary file and a rename gives a new file (inode) even when size and
// time happen to match. Used to tell whether a decoded image still stands
// for the file it was read from.

#include <QString>
#include <QtGlobal>

struct FileStamp
{
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 device = 0;
    quint64 inode = 0;

    // The file at path as it is now (links followed); exists is false when
    // there is none.
    static FileStamp of(const QString &path);

    bool operator==(const FileStamp &o) const
    {
        return exists == o.exists && size == o.size && modifiedNs == o.modifiedNs && device == o.device
            && inode == o.inode;
    }
    bool operator!=(const FileStamp &o) const { return !(*this == o); }
};
