// The ZIP handle interface over UnzipArchiveC.
#include "viewer/loader/ZipHandle.h"

#include <cstring>
#include <new>

#include "viewer/loader/UnzipSourceC.h"

uint32_t LastZipResult = 0;

namespace {

uint32_t Store(uint32_t result)
{
    LastZipResult = result;
    return result;
}

// 0 when the handle can be used, else the code to answer with.
uint32_t Check(const ZipHandle* handle)
{
    if (!handle)
        return UnzipBadArguments;
    return handle->kind == 1 ? UnzipOk : UnzipWrongMode;
}

}  // namespace

ZipHandle* OpenZipHandle(const void* source, uint32_t length, int kind, const char* password)
{
    auto* archive = new UnzipArchiveC(password);
    const uint32_t result = Store(archive->Open(source, length, kind));
    if (result != UnzipOk) {
        delete archive;
        return nullptr;
    }
    auto* handle = new ZipHandle;
    handle->archive = archive;
    return handle;
}

ZipHandle* OpenZipHandleFromFileHandle(int descriptor, const char* password)
{
    return OpenZipHandle(reinterpret_cast<const void*>(static_cast<intptr_t>(descriptor)), 0, UnzipFromHandle, password);
}

ZipHandle* OpenZipHandleFromFile(const char* fileName, const char* password)
{
    return OpenZipHandle(fileName, 0, UnzipFromFile, password);
}

ZipHandle* OpenZipHandleFromMemory(const void* data, uint32_t length, const char* password)
{
    return OpenZipHandle(data, length, UnzipFromMemory, password);
}

uint32_t GetZipItem(ZipHandle* handle, int index, ZipEntryInfo* record)
{
    const uint32_t bad = Check(handle);
    return Store(bad ? bad : handle->archive->Get(index, record));
}

uint32_t FindZipItem(ZipHandle* handle, const char* name, bool ignoreCase, int* index, ZipEntryInfo* record)
{
    const uint32_t bad = Check(handle);
    return Store(bad ? bad : handle->archive->Find(name, ignoreCase, index, record));
}

uint32_t UnzipZipItem(ZipHandle* handle, int index, void* target, uint32_t length, int kind, uint32_t* bytesRead)
{
    const uint32_t bad = Check(handle);
    if (bad && bytesRead)
        *bytesRead = 0;
    return Store(bad ? bad : handle->archive->Unzip(index, target, length, kind, bytesRead));
}

uint32_t UnzipZipItemToHandle(ZipHandle* handle, int index, int descriptor)
{
    return UnzipZipItem(handle, index, reinterpret_cast<void*>(static_cast<intptr_t>(descriptor)), 0, UnzipFromHandle);
}

uint32_t UnzipZipItemToFile(ZipHandle* handle, int index, const char* fileName)
{
    return UnzipZipItem(handle, index, const_cast<char*>(fileName), 0, UnzipFromFile);
}

uint32_t UnzipZipItemToMemory(ZipHandle* handle, int index, void* buffer, uint32_t length, uint32_t* bytesRead)
{
    return UnzipZipItem(handle, index, buffer, length, UnzipFromMemory, bytesRead);
}

uint32_t SetUnzipBaseDir(ZipHandle* handle, const char* directory)
{
    const uint32_t bad = Check(handle);
    return Store(bad ? bad : handle->archive->SetBaseDir(directory));
}

uint32_t CloseZipHandle(ZipHandle* handle)
{
    const uint32_t bad = Check(handle);
    if (bad)
        return Store(bad);
    const uint32_t result = handle->archive->Close();
    delete handle->archive;
    delete handle;
    return Store(result);
}

bool IsUnzipHandle(const ZipHandle* handle)
{
    return !handle || handle->kind == 1;
}

uint32_t FormatZipMessage(uint32_t code, char* buffer, uint32_t length)
{
    if (code == 1)
        code = LastZipResult;
    const char* text;
    switch (code) {
    case 0x00000000: text = "Success"; break;
    case 0x00000100: text = "Culdn't duplicate handle"; break;
    case 0x00000200: text = "Couldn't create/open file"; break;
    case 0x00000300: text = "Failed to allocate memory"; break;
    case 0x00000400: text = "Error writing to file"; break;
    case 0x00000500: text = "File not found in the zipfile"; break;
    case 0x00000600: text = "Still more data to unzip"; break;
    case 0x00000700: text = "Zipfile is corrupt or not a zipfile"; break;
    case 0x00000800: text = "Error reading file"; break;
    case 0x00001000: text = "Correct password required"; break;
    case 0x00010000: text = "Caller: faulty arguments"; break;
    case 0x00020000: text = "Caller: can only get memory of a memory zipfile"; break;
    case 0x00030000: text = "Caller: not enough space allocated for memory zipfile"; break;
    case 0x00040000: text = "Caller: there was a previous error"; break;
    case 0x00050000: text = "Caller: additions to the zip have already been ended"; break;
    case 0x00060000: text = "Zip-bug: the anticipated size turned out wrong"; break;
    case 0x00070000: text = "Caller: the file had already been partially unzipped"; break;
    case 0x00080000: text = "Caller: mixing creation and opening of zip"; break;
    case 0x01000000: text = "Zip-bug: internal initialisation not completed"; break;
    case 0x02000000: text = "Zip-bug: trying to seek the unseekable"; break;
    case 0x04000000: text = "Zip-bug: tried to change mind, but not allowed"; break;
    case 0x05000000: text = "Zip-bug: an internal error during flation"; break;
    default: text = "unknown zip result code"; break;
    }
    const uint32_t full = static_cast<uint32_t>(std::strlen(text));
    if (buffer && length > 0) {
        const uint32_t n = full < length - 1 ? full : length - 1;
        std::memcpy(buffer, text, n);
        buffer[n] = '\0';
    }
    return full;
}
