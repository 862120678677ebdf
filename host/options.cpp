#include "host/options.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdio>

#include "host/map_model.h"

namespace tellur {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring FullPath(const std::wstring& path) {
    DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    full.resize(n);
    return full;
}

bool LastWrite(const std::wstring& path, FILETIME* time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    *time = data.ftLastWriteTime;
    return true;
}

}  // namespace

Options ParseOptions(const std::vector<std::wstring>& args) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        auto value = [&](std::wstring* out) {
            if (i + 1 < args.size() && !args[i + 1].empty()) {
                *out = args[++i];
            } else {
                o.errors.push_back(L"После параметра " + a + L" нужно значение");
            }
        };
        if (a == L"--foreign-loop")
            o.foreignLoop = true;
        else if (a == L"--open-workbench")
            o.openWorkbench = true;
        else if (a == L"--data-folder")
            value(&o.dataFolder);
        else if (a == L"--map")
            value(&o.mapFile);
        else if (a == L"--log")
            value(&o.logFile);
        else if (!a.empty() && a[0] != L'-' && o.mapFile.empty())
            o.mapFile = a;  // a map file given as the only plain argument (opened from Explorer)
        else
            o.errors.push_back(L"Неизвестный параметр командной строки: " + a);
    }
    return o;
}

std::wstring PrepareDataFolder(const std::wstring& requested) {
    std::wstring folder;
    if (!requested.empty()) {
        folder = FullPath(requested);
    } else {
        wchar_t appData[MAX_PATH];
        if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0,
                                      appData)))
            throw MapError(L"Не удалось определить папку данных пользователя");
        folder = std::wstring(appData) + L"\\Tellur";
    }
    while (folder.size() > 3 && IsSeparator(folder.back())) folder.pop_back();
    int rc = ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS && rc != ERROR_FILE_EXISTS)
        throw MapError(L"Не удалось создать папку данных " + folder);
    DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw MapError(L"Папка данных " + folder + L" недоступна");
    if (!IsSeparator(folder.back())) folder += L'\\';
    return folder;
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH * 4];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring folder(path, n);
    size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

std::wstring InstallDescription(const std::wstring& dataFolder) {
    const std::wstring name = L"TellurTlb.xml";
    std::wstring source = ProgramFolder() + name;
    std::wstring target = dataFolder + name;
    FILETIME shipped, present;
    if (!LastWrite(source, &shipped))
        return LastWrite(target, &present) ? L"description: " + target
                                           : L"description: missing, no " + source;
    if (LastWrite(target, &present) && ::CompareFileTime(&present, &shipped) >= 0)
        return L"description: " + target;
    if (!::CopyFileW(source.c_str(), target.c_str(), FALSE))
        return L"description: copy to " + target + L" failed, error " +
               std::to_wstring(::GetLastError());
    return L"description: copied to " + target;
}

void LogFile::Write(const std::wstring& line) const {
    if (path_.empty()) return;
    FILE* f = _wfopen(path_.c_str(), L"ab");
    if (!f) return;
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02u:%02u:%02u.%03u ", t.wHour, t.wMinute, t.wSecond,
                  t.wMilliseconds);
    std::string text = stamp + ToUtf8(line) + "\r\n";
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

}  // namespace tellur
