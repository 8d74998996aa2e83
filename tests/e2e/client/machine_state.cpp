#include "machine_state.h"

#include <algorithm>
#include <cwctype>
#include <map>

namespace wdauto::machine {

namespace {

std::wstring lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

bool lessByName(const std::wstring& a, const std::wstring& b) {
    const std::wstring la = lower(a), lb = lower(b);
    return la != lb ? la < lb : a < b;
}

std::vector<BYTE> textBytes(const std::wstring& s) {
    std::vector<BYTE> out(reinterpret_cast<const BYTE*>(s.c_str()),
                          reinterpret_cast<const BYTE*>(s.c_str() + s.size() + 1));
    return out;
}

class Key {
public:
    Key(HKEY root, const std::wstring& path, REGSAM access = KEY_READ) {
        status_ = RegOpenKeyExW(root, path.c_str(), 0, access, &key_);
        if (status_ != ERROR_SUCCESS) key_ = nullptr;
    }
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    explicit operator bool() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
    LONG status_ = 0;
};

std::vector<std::wstring> subkeysOf(HKEY key) {
    std::vector<std::wstring> out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256 + 1];
        DWORD len = 257;
        LONG st = RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (st != ERROR_SUCCESS) break;
        out.emplace_back(name, len);
    }
    return out;
}

std::vector<RegValue> valuesOf(HKEY key) {
    std::vector<RegValue> out;
    DWORD maxName = 0, maxData = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData, nullptr,
                     nullptr);
    for (DWORD i = 0;; ++i) {
        std::wstring name(maxName + 2, L'\0');
        std::vector<BYTE> data(maxData + 2);
        DWORD nameLen = static_cast<DWORD>(name.size()), dataLen = static_cast<DWORD>(data.size()), type = 0;
        LONG st = RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
        if (st == ERROR_MORE_DATA) {
            RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                             nullptr, nullptr);
            name.assign(maxName + 2, L'\0');
            data.assign(maxData + 2, 0);
            nameLen = static_cast<DWORD>(name.size());
            dataLen = static_cast<DWORD>(data.size());
            st = RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
        }
        if (st != ERROR_SUCCESS) break;
        name.resize(nameLen);
        data.resize(dataLen);
        out.push_back({name, type, data});
    }
    return out;
}

RegTree readTree(HKEY key, const std::wstring& name, int depth) {
    RegTree t;
    t.name = name;
    t.values = valuesOf(key);
    if (depth > 16) return t;
    for (const auto& sub : subkeysOf(key)) {
        Key k(key, sub);
        if (k) t.subkeys.push_back(readTree(k.get(), sub, depth + 1));
    }
    return t;
}

std::wstring typeName(DWORD type) {
    switch (type) {
        case REG_NONE: return L"none";
        case REG_SZ: return L"sz";
        case REG_EXPAND_SZ: return L"expand";
        case REG_BINARY: return L"binary";
        case REG_DWORD: return L"dword";
        case REG_DWORD_BIG_ENDIAN: return L"dword-be";
        case REG_LINK: return L"link";
        case REG_MULTI_SZ: return L"multi";
        case REG_QWORD: return L"qword";
        default: return L"type" + std::to_wstring(type);
    }
}

std::wstring dataText(const std::vector<BYTE>& data) {
    wchar_t buf[64];
    if (data.size() <= 48) {
        std::wstring out;
        for (BYTE b : data) {
            swprintf(buf, 64, L"%02x", b);
            out += buf;
        }
        return out.empty() ? L"(no data)" : out;
    }
    unsigned long long h = 1469598103934665603ull;  // FNV-1a
    for (BYTE b : data) h = (h ^ b) * 1099511628211ull;
    swprintf(buf, 64, L"%zu bytes, fnv %016llx", data.size(), h);
    return buf;
}

std::wstring shortName(const std::wstring& n) {
    if (n.size() <= 80) return n;
    wchar_t buf[64];
    unsigned long long h = 1469598103934665603ull;
    for (wchar_t c : n) h = (h ^ static_cast<unsigned>(c)) * 1099511628211ull;
    swprintf(buf, 64, L"…(%zu chars, fnv %016llx)", n.size(), h);
    return n.substr(0, 24) + buf;
}

void describeInto(const RegTree& t, const std::wstring& path, std::wstring& out) {
    out += L"[" + path + L"]\n";
    std::vector<const RegValue*> vs;
    for (const auto& v : t.values) vs.push_back(&v);
    std::sort(vs.begin(), vs.end(), [](auto* a, auto* b) { return lessByName(a->name, b->name); });
    for (auto* v : vs) {
        out += L"  " + quoted(shortName(v->name)) + L" = " + typeName(v->type) + L":" + dataText(v->data) + L"\n";
    }
    std::vector<const RegTree*> ks;
    for (const auto& k : t.subkeys) ks.push_back(&k);
    std::sort(ks.begin(), ks.end(), [](auto* a, auto* b) { return lessByName(a->name, b->name); });
    for (auto* k : ks) describeInto(*k, path + L"\\" + k->name, out);
}

std::vector<std::wstring> splitLines(const std::wstring& s) {
    std::vector<std::wstring> out;
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find(L'\n', start);
        if (end == std::wstring::npos) end = s.size();
        out.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::wstring statusText(LONG st) { return L"error " + std::to_wstring(st); }

std::wstring writeInto(HKEY parent, const RegTree& t) {
    for (const auto& v : t.values) {
        LONG st = RegSetValueExW(parent, v.name.c_str(), 0, v.type, v.data.empty() ? nullptr : v.data.data(),
                                 static_cast<DWORD>(v.data.size()));
        if (st != ERROR_SUCCESS) return L"value " + quoted(shortName(v.name)) + L": " + statusText(st);
    }
    for (const auto& k : t.subkeys) {
        HKEY sub = nullptr;
        LONG st = RegCreateKeyExW(parent, k.name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
        if (st != ERROR_SUCCESS) return L"key " + quoted(k.name) + L": " + statusText(st);
        std::wstring e = writeInto(sub, k);
        RegCloseKey(sub);
        if (!e.empty()) return e;
    }
    return {};
}

}  // namespace

RegTree& RegTree::value(RegValue v) {
    values.push_back(std::move(v));
    return *this;
}

RegTree& RegTree::subkey(RegTree k) {
    subkeys.push_back(std::move(k));
    return *this;
}

const RegTree* RegTree::find(const std::wstring& n) const {
    for (const auto& k : subkeys)
        if (lower(k.name) == lower(n)) return &k;
    return nullptr;
}

RegTree* RegTree::find(const std::wstring& n) {
    for (auto& k : subkeys)
        if (lower(k.name) == lower(n)) return &k;
    return nullptr;
}

bool RegTree::removeSubkey(const std::wstring& n) {
    auto it = std::find_if(subkeys.begin(), subkeys.end(), [&](const RegTree& k) { return lower(k.name) == lower(n); });
    if (it == subkeys.end()) return false;
    subkeys.erase(it);
    return true;
}

bool RegTree::removeValue(const std::wstring& n) {
    auto it = std::find_if(values.begin(), values.end(), [&](const RegValue& v) { return lower(v.name) == lower(n); });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

RegValue sz(const std::wstring& name, const std::wstring& text) { return {name, REG_SZ, textBytes(text)}; }
RegValue expandSz(const std::wstring& name, const std::wstring& text) {
    return {name, REG_EXPAND_SZ, textBytes(text)};
}
RegValue multiSz(const std::wstring& name, const std::vector<std::wstring>& texts) {
    std::wstring all;
    for (const auto& t : texts) all += t + L'\0';
    return {name, REG_MULTI_SZ, textBytes(all)};
}
RegValue dword(const std::wstring& name, DWORD v) {
    return {name, REG_DWORD, {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}};
}
RegValue binary(const std::wstring& name, std::vector<BYTE> bytes) { return {name, REG_BINARY, std::move(bytes)}; }
RegValue raw(const std::wstring& name, DWORD type, std::vector<BYTE> bytes) { return {name, type, std::move(bytes)}; }
RegTree key(const std::wstring& name, std::vector<RegValue> values, std::vector<RegTree> subkeys) {
    return {name, std::move(values), std::move(subkeys)};
}

std::wstring regPathText(HKEY root, const std::wstring& path) {
    return (root == HKEY_CURRENT_USER ? L"HKCU\\" : L"HKLM\\") + path;
}

std::optional<RegTree> readKey(HKEY root, const std::wstring& path, REGSAM view) {
    Key k(root, path, KEY_READ | view);
    if (!k) return std::nullopt;
    auto slash = path.find_last_of(L'\\');
    return readTree(k.get(), slash == std::wstring::npos ? path : path.substr(slash + 1), 0);
}

std::vector<std::wstring> subkeyNames(HKEY root, const std::wstring& path, REGSAM view) {
    Key k(root, path, KEY_READ | view);
    return k ? subkeysOf(k.get()) : std::vector<std::wstring>{};
}

std::vector<RegValue> values(HKEY root, const std::wstring& path, REGSAM view) {
    Key k(root, path, KEY_READ | view);
    return k ? valuesOf(k.get()) : std::vector<RegValue>{};
}

std::optional<RegValue> value(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view) {
    for (auto& v : values(root, path, view))
        if (lower(v.name) == lower(name)) return v;
    return std::nullopt;
}

std::wstring writeKey(HKEY root, const std::wstring& path, const RegTree& tree, REGSAM view) {
    HKEY k = nullptr;
    LONG st = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &k, nullptr);
    if (st != ERROR_SUCCESS) return L"cannot make " + regPathText(root, path) + L": " + statusText(st);
    std::wstring e = writeInto(k, tree);
    RegCloseKey(k);
    return e.empty() ? e : regPathText(root, path) + L": " + e;
}

bool setValue(HKEY root, const std::wstring& path, const RegValue& v) {
    RegTree t;
    t.values.push_back(v);
    return writeKey(root, path, t).empty();
}

bool deleteTree(HKEY root, const std::wstring& path, REGSAM view) {
    if (view == 0) {
        RegDeleteTreeW(root, path.c_str());
        RegDeleteKeyW(root, path.c_str());
    } else {
        {
            Key k(root, path, KEY_ALL_ACCESS | view);
            if (k) RegDeleteTreeW(k.get(), nullptr);
        }
        RegDeleteKeyExW(root, path.c_str(), view, 0);
    }
    Key k(root, path, KEY_READ | view);
    return !k;
}

bool emptyKey(HKEY root, const std::wstring& path, REGSAM view) {
    Key k(root, path, KEY_ALL_ACCESS | view);
    if (!k) return true;
    for (const auto& s : subkeysOf(k.get())) {
        RegDeleteTreeW(k.get(), s.c_str());
        RegDeleteKeyW(k.get(), s.c_str());
    }
    for (const auto& v : valuesOf(k.get())) RegDeleteValueW(k.get(), v.name.c_str());
    return subkeysOf(k.get()).empty() && valuesOf(k.get()).empty();
}

std::wstring describeTree(const RegTree& tree) {
    std::wstring out;
    describeInto(tree, tree.name, out);
    return out;
}

std::wstring lineDiff(const std::wstring& expected, const std::wstring& seen, size_t maxLines) {
    auto a = splitLines(expected), b = splitLines(seen);
    std::map<std::wstring, int> count;
    for (auto& l : a) ++count[l];
    for (auto& l : b) --count[l];
    std::wstring out;
    size_t shown = 0;
    for (auto& l : a)
        if (count[l] > 0 && shown < maxLines) {
            out += L"missing: " + l + L"\n";
            ++shown;
            --count[l];
        }
    for (auto& l : b)
        if (count[l] < 0 && shown < maxLines) {
            out += L"extra:   " + l + L"\n";
            ++shown;
            ++count[l];
        }
    if (out.empty() && expected != seen) out = L"same lines in another order\n";
    if (!out.empty()) out.pop_back();
    return out;
}

// ---- files ------------------------------------------------------------------------

std::optional<std::string> readFile(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string out;
    char buf[1 << 16];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(f);
    return out;
}

bool writeFile(const std::wstring& path, const std::string& bytes, DWORD attrs) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20)), wrote = 0;
        if (!WriteFile(f, bytes.data() + done, want, &wrote, nullptr) || wrote == 0) {
            ok = false;
            break;
        }
        done += wrote;
    }
    CloseHandle(f);
    if (ok && attrs != FILE_ATTRIBUTE_NORMAL) ok = SetFileAttributesW(path.c_str(), attrs) != FALSE;
    return ok;
}

bool placeFile(const std::wstring& path, const std::string& bytes, DWORD attrs) {
    auto slash = path.find_last_of(L'\\');
    const std::wstring tmp = path.substr(0, slash + 1) + L"wdauto-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    if (!writeFile(tmp, bytes, attrs)) return false;
    return MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isFolder(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

DWORD attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

bool removeAll(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return true;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (a & FILE_ATTRIBUTE_DIRECTORY) {
        for (const auto& n : names(path)) removeAll(joinPath(path, n));
        return RemoveDirectoryW(path.c_str()) != FALSE;
    }
    return DeleteFileW(path.c_str()) != FALSE;
}

std::vector<std::wstring> names(const std::wstring& folder) {
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW fd;
    std::wstring pattern = folder;
    if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
    HANDLE h = FindFirstFileW((pattern + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..") out.push_back(n);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(out.begin(), out.end(), lessByName);
    return out;
}

namespace {
void listInto(const std::wstring& root, const std::wstring& rel, int depth, std::wstring& out) {
    const std::wstring folder = rel.empty() ? root : joinPath(root, rel);
    for (const auto& n : names(folder)) {
        const std::wstring r = rel.empty() ? n : rel + L"\\" + n;
        WIN32_FILE_ATTRIBUTE_DATA d{};
        GetFileAttributesExW(joinPath(root, r).c_str(), GetFileExInfoStandard, &d);
        wchar_t buf[128];
        swprintf(buf, 128, L" attr=%04lx size=%llu time=%08lx%08lx", d.dwFileAttributes,
                 (static_cast<unsigned long long>(d.nFileSizeHigh) << 32) | d.nFileSizeLow,
                 d.ftLastWriteTime.dwHighDateTime, d.ftLastWriteTime.dwLowDateTime);
        out += r + buf + L"\n";
        if ((d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && depth > 0) listInto(root, r, depth - 1, out);
    }
}
}  // namespace

std::wstring listing(const std::wstring& root, int depth, bool withRoot) {
    std::wstring out;
    if (withRoot) {
        WIN32_FILE_ATTRIBUTE_DATA d{};
        if (GetFileAttributesExW(root.c_str(), GetFileExInfoStandard, &d)) {
            wchar_t buf[96];
            swprintf(buf, 96, L". time=%08lx%08lx\n", d.ftLastWriteTime.dwHighDateTime,
                     d.ftLastWriteTime.dwLowDateTime);
            out += buf;
        } else {
            out += L". missing\n";
        }
    }
    listInto(root, L"", depth, out);
    return out;
}

// ---- processes ----------------------------------------------------------------------

long runAndWait(const std::wstring& exe, const std::wstring& commandLine, int timeoutMs) {
    Process p = launch(exe, commandLine, L"C:\\");
    if (!p) return -1;
    DWORD code = 0;
    if (!p.waitExit(timeoutMs, &code)) {
        p.terminate();
        return -1;
    }
    return static_cast<long>(code);
}

long importRegFile(const std::wstring& file, int timeoutMs) {
    wchar_t windir[MAX_PATH] = L"C:\\windows";
    GetWindowsDirectoryW(windir, MAX_PATH);
    const std::wstring exe = joinPath(windir, L"regedit.exe");
    return runAndWait(exe, L"regedit.exe /S \"" + file + L"\"", timeoutMs);
}

long runRegTool(const std::wstring& arguments, int timeoutMs) {
    wchar_t system[MAX_PATH] = L"C:\\windows\\system32";
    GetSystemDirectoryW(system, MAX_PATH);
    return runAndWait(joinPath(system, L"reg.exe"), L"reg.exe " + arguments, timeoutMs);
}

std::wstring environment(const std::wstring& name) {
    wchar_t buf[2048] = {};
    DWORD n = GetEnvironmentVariableW(name.c_str(), buf, 2048);
    return n && n < 2048 ? std::wstring(buf, n) : std::wstring();
}

}  // namespace wdauto::machine
