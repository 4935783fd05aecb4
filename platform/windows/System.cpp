#include "platform/windows/System.h"

#include <windows.h>

#include <cerrno>
#include <climits>
#include <new>

std::wstring Breit(const std::string& strUtf8)
{
    if (strUtf8.empty()) return {};
    if (strUtf8.size() > INT_MAX) throw std::bad_alloc();
    const int nEin = static_cast<int>(strUtf8.size());
    const int nAus = MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), nEin, nullptr, 0);
    if (nAus <= 0) return {};
    std::wstring strBreit(static_cast<std::size_t>(nAus), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), nEin, strBreit.data(), nAus);
    return strBreit;
}

std::string Schmal(const std::wstring& strBreit)
{
    if (strBreit.empty()) return {};
    if (strBreit.size() > INT_MAX) throw std::bad_alloc();
    const int nEin = static_cast<int>(strBreit.size());
    const int nAus = WideCharToMultiByte(CP_UTF8, 0, strBreit.data(), nEin, nullptr, 0, nullptr, nullptr);
    if (nAus <= 0) return {};
    std::string strSchmal(static_cast<std::size_t>(nAus), '\0');
    WideCharToMultiByte(CP_UTF8, 0, strBreit.data(), nEin, strSchmal.data(), nAus, nullptr, nullptr);
    return strSchmal;
}

int ErrnoAus(unsigned long nFehler) noexcept
{
    switch (nFehler) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_CURRENT_DIRECTORY: return EACCES;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return EPIPE;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_INVALID_PARAMETER: return EINVAL;
    default: return EIO;
    }
}

HANDLE OeffneZumPruefen(const std::wstring& strPfad) noexcept
{
    return CreateFileW(strPfad.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IstRegulaer(HANDLE h) noexcept
{
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
