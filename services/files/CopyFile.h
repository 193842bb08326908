// File copy with a progress receiver and the process-wide stack of copy-error handlers.
#pragma once

#include "foundation/RWCString.h"

// Receives the progress of one copy: begin, the two native names, percentages from 0 to 100,
// end.
class CSCopyProgress {
public:
    virtual ~CSCopyProgress();
    virtual void begin() = 0;
    virtual void end() = 0;
    virtual void setPercent(float percent) = 0;
    virtual void setFiles(RWCString source, RWCString destination) = 0;
};

// A handler decides what a failed copy comes to. Constructing one puts it on top of the
// process-wide handler stack (the newest is asked), destroying it takes it off again. The
// stack is not guarded: handlers are made, removed and asked on one thread.
class CSCopyErrorHandling {
public:
    CSCopyErrorHandling();
    virtual ~CSCopyErrorHandling();
    CSCopyErrorHandling(const CSCopyErrorHandling&) = delete;
    CSCopyErrorHandling& operator=(const CSCopyErrorHandling&) = delete;

    // Called after a failed copy with the names as the caller of copyFile gave them and the
    // failure code, which the handler may change. Answers: 0 give up (the code is returned),
    // 1 give up but report success, 2 try again. Any other answer counts as 0.
    virtual int handleCopyError(const char* destination, const char* source, int* code) = 0;
};

// The newest registered handler, or null.
CSCopyErrorHandling* currentCopyErrorHandler();

// Results of copyFile.
enum : int {
    COPY_OK = 1,
    COPY_SAME_FILE = 0,
    COPY_NO_BUFFER = -1,
    COPY_SOURCE_FAILED = -2,
    COPY_DESTINATION_FAILED = -3,
    COPY_READ_FAILED = -4,
    COPY_WRITE_FAILED = -5,
};

// Copies source to destination byte for byte and gives the copy the source's modification
// time. bufferSize 0 sizes the copy buffer from the file (a quarter of it, 1000 to 50000
// bytes). The source must be a regular file (-2 otherwise; a pipe or a device is never waited
// on or read without end), and a pipe as destination must have a reader (-3 otherwise). A
// destination that is the source itself (by any name or link) gives 0 and is left
// alone. An existing destination that cannot be written gives -3, and so does a folder. A device
// or a pipe is written as it is; otherwise the copy goes through the whole-file writer
// (services/files/WholeFileWriter.h) and takes the destination's place (and its mode) only when
// complete, so a failed copy (-4, -5) leaves an existing destination as it was and nothing new
// behind.
// After a failure the newest handler, when there is one, has the last word.
int copyFile(const char* source, const char* destination, int bufferSize, CSCopyProgress* progress);
