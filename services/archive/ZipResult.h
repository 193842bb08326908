// Result codes shared by the ZIP writer, reader and archive object.
#pragma once

// Every operation of the ZIP layer answers with one of these; nothing is thrown.
enum ZipResult : int {
    ZipOk = 1,
    ZipFailed = -1,          // file not found, stream failed, read error, anything else
    ZipBadParameter = -2,    // also: not allowed in the archive object's current mode
    ZipInternalError = -3,
    ZipNotAnArchive = -4,
    ZipCrcError = -5,        // the entry's data does not match its checksum or declared size
    ZipNotFound = -6,        // also: not a directory in the archive object's tree
    ZipEndOfList = -7,
};
