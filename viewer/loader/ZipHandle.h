// The ZIP handle interface: open an archive, look items up, unzip them, result codes and texts.
#pragma once

#include <cstdint>

#include "viewer/loader/UnzipArchiveC.h"

// An open archive. Only unzip handles (kind 1) are ever made.
struct ZipHandle {
    int kind = 1;
    UnzipArchiveC* archive = nullptr;
};

// The result of the last handle operation (process-wide; the control uses the reader on its
// user-interface thread only).
extern uint32_t LastZipResult;

// Each operation sets LastZipResult to its result. A null handle gives 0x10000, a handle of
// another kind 0x80000.
ZipHandle* OpenZipHandle(const void* source, uint32_t length, int kind, const char* password);
ZipHandle* OpenZipHandleFromFileHandle(int descriptor, const char* password);
ZipHandle* OpenZipHandleFromFile(const char* fileName, const char* password);
ZipHandle* OpenZipHandleFromMemory(const void* data, uint32_t length, const char* password);

uint32_t GetZipItem(ZipHandle* handle, int index, ZipEntryInfo* record);
uint32_t FindZipItem(ZipHandle* handle, const char* name, bool ignoreCase, int* index, ZipEntryInfo* record);
// `bytesRead` (memory kind only) receives how many bytes the piece holds.
uint32_t UnzipZipItem(ZipHandle* handle, int index, void* target, uint32_t length, int kind, uint32_t* bytesRead = nullptr);
uint32_t UnzipZipItemToHandle(ZipHandle* handle, int index, int descriptor);
uint32_t UnzipZipItemToFile(ZipHandle* handle, int index, const char* fileName);
uint32_t UnzipZipItemToMemory(ZipHandle* handle, int index, void* buffer, uint32_t length, uint32_t* bytesRead = nullptr);
uint32_t SetUnzipBaseDir(ZipHandle* handle, const char* directory);
uint32_t CloseZipHandle(ZipHandle* handle);

// True for a null handle or an unzip handle.
bool IsUnzipHandle(const ZipHandle* handle);

// The text of `code` (1: of LastZipResult). Returns the text's full length; with a buffer of
// `length` > 0 copies at most length - 1 characters and a NUL.
uint32_t FormatZipMessage(uint32_t code, char* buffer, uint32_t length);
