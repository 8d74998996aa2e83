#include "registry/registry_access.h"

#include "common/unicode.h"

#include <algorithm>
#include <limits>

namespace wd::registry {

namespace {

// An enumeration asks for at most this many indexes, so that a registry that
// never says "no more items" cannot hold the window for ever.
constexpr std::uint32_t kMaxEnumIndex = 1u << 24;

std::string hexBytes(std::span<const std::uint8_t> data) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const std::size_t shown = std::min(data.size(), kCaptionHexBytes);
    std::string out;
    out.reserve(shown * 3 + 4);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i) out += ' ';
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0xF];
    }
    if (data.size() > shown) out += "…";
    return out;
}

std::uint64_t littleEndian(std::span<const std::uint8_t> data) {
    std::uint64_t v = 0;
    for (std::size_t i = data.size(); i-- > 0;) v = (v << 8) | data[i];
    return v;
}

// The text of string data: up to its first NUL.
std::string stringCaption(std::span<const std::uint8_t> data) {
    std::string text = common::utf16leToUtf8(data);
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

std::string multiStringCaption(std::span<const std::uint8_t> data) {
    const std::string all = common::utf16leToUtf8(data);
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t nul = all.find('\0', start);
        if (nul == std::string::npos) nul = all.size();
        parts.emplace_back(std::string_view(all).substr(start, nul - start));
        start = nul + 1;
    }
    // The list ends with an empty string (two NULs); trailing empties are that end.
    while (!parts.empty() && parts.back().empty()) parts.pop_back();
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += kMultiStringSeparator;
        out += parts[i];
    }
    return out;
}

template <class Fetch, class Visit>
WalkEnd walk(Fetch fetch, Visit visit) {
    WalkEnd end;
    for (std::uint32_t index = 0; index < kMaxEnumIndex; ++index) {
        const platform::RegStatus status = fetch(index);
        if (status == platform::RegStatus::MoreData) {
            ++end.unreadable;
            continue;
        }
        if (status != platform::RegStatus::Success) {
            end.status = status;
            return end;
        }
        if (!visit()) {
            end.status = platform::RegStatus::Success;
            return end;
        }
    }
    end.status = platform::RegStatus::NoMoreItems;
    return end;
}

}  // namespace

std::string_view RootKeyName(RootKey root) {
    return root == RootKey::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

namespace {

// What an opening gave: a key only with Success, and no Success without a key.
OpenResult opened(platform::RegStatus status, KeyHandle key) {
    OpenResult r;
    if (status == platform::RegStatus::Success && key) {
        r.status = platform::RegStatus::Success;
        r.key = std::move(key);
    } else {
        r.status = status == platform::RegStatus::Success ? platform::RegStatus::NotFound : status;
    }
    return r;
}

}  // namespace

OpenResult OpenKey(platform::Registry& reg, RootKey root, std::string_view path, View view) {
    if (HoldsNul(path)) return opened(platform::RegStatus::Invalid, nullptr);
    platform::RegStatus status = platform::RegStatus::NotFound;
    KeyHandle key = reg.open(root, path, view, status);
    return opened(status, std::move(key));
}

OpenResult OpenSubkey(platform::Registry& reg, platform::RegKey& parent, std::string_view name) {
    if (name.empty() || name.find('\\') != std::string_view::npos || HoldsNul(name))
        return opened(platform::RegStatus::NotFound, nullptr);
    platform::RegStatus status = platform::RegStatus::NotFound;
    KeyHandle key = reg.openSubkey(parent, name, status);
    return opened(status, std::move(key));
}

OpenResult OpenKeyAsItself(platform::Registry& reg, RootKey root, std::string_view path, View view) {
    if (HoldsNul(path) || path.empty()) return OpenKey(reg, root, path, view);
    const std::size_t slash = path.rfind('\\');
    const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::string_view above = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
    OpenResult parent;
    if (root == RootKey::CurrentUser) {
        parent = OpenKey(reg, root, {}, view);
        for (std::size_t at = 0; parent.status == platform::RegStatus::Success && at < above.size();) {
            const std::size_t end = std::min(above.find('\\', at), above.size());
            parent = OpenSubkey(reg, *parent.key, above.substr(at, end - at));
            at = end + 1;
        }
    } else {
        parent = OpenKey(reg, root, above, view);
    }
    if (parent.status != platform::RegStatus::Success) return parent;
    return OpenSubkey(reg, *parent.key, last);
}

KeyHandle CreateKey(platform::Registry& reg, RootKey root, std::string_view path, View view) {
    if (HoldsNul(path)) return nullptr;
    platform::RegStatus status = platform::RegStatus::NotFound;
    KeyHandle key = reg.create(root, path, view, status);
    return status == platform::RegStatus::Success ? std::move(key) : nullptr;
}

bool ViewHasOwnKey(platform::Registry& reg, RootKey root, std::string_view path, View view) {
    if (view == View::Bit64) return true;
    OpenResult own = OpenKey(reg, root, path, View::Bit32);
    if (own.status != platform::RegStatus::Success) return false;
    const std::optional<std::string> stored = reg.storedPath(*own.key);
    if (!stored) return false;
    OpenResult other = OpenKey(reg, root, path, View::Bit64);
    if (other.status != platform::RegStatus::Success) return true;
    const std::optional<std::string> otherStored = reg.storedPath(*other.key);
    // One key for both views is the same stored path, spelt the same.
    return otherStored && *otherStored != *stored;
}

WalkEnd WalkSubkeyNames(platform::Registry& reg, platform::RegKey& key,
                        const std::function<bool(const std::string& name)>& visit) {
    std::string name;
    return walk([&](std::uint32_t i) { return reg.enumSubkey(key, i, name); }, [&] { return visit(name); });
}

WalkEnd WalkRawValues(platform::Registry& reg, platform::RegKey& key,
                      const std::function<bool(const platform::RegValue& value)>& visit) {
    platform::RegValue value;
    return walk(
        [&](std::uint32_t i) {
            const platform::RegStatus status = reg.enumValue(key, i, value, kMaxWholeValueBytes);
            // Cut, it is not the value: not one to keep.
            return status == platform::RegStatus::Success && value.size > value.data.size() ? platform::RegStatus::MoreData : status;
        },
        [&] { return visit(value); });
}

WalkEnd WalkValues(platform::Registry& reg, platform::RegKey& key,
                   const std::function<bool(const ValueEntry& entry)>& visit) {
    platform::RegValue value;
    return walk([&](std::uint32_t i) { return reg.enumValue(key, i, value, kMaxShownValueBytes); },
                [&] { return visit(MakeValueEntry(value)); });
}

WalkEnd WalkValueNames(platform::Registry& reg, platform::RegKey& key,
                       const std::function<bool(const std::string& name)>& visit) {
    std::string name;
    return walk([&](std::uint32_t i) { return reg.enumValueName(key, i, name); }, [&] { return visit(name); });
}

std::optional<ValueEntry> QueryValue(platform::Registry& reg, platform::RegKey& key, std::string_view name) {
    if (HoldsNul(name)) return std::nullopt;
    platform::RegValue value;
    if (reg.queryValue(key, name, value, kMaxShownValueBytes) != platform::RegStatus::Success) return std::nullopt;
    return MakeValueEntry(value);
}

std::vector<std::string> EnumSubkeyNames(platform::Registry& reg, platform::RegKey& key) {
    std::vector<std::string> names;
    WalkSubkeyNames(reg, key, [&](const std::string& n) {
        names.push_back(n);
        return true;
    });
    return names;
}

bool HoldsNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

namespace {

platform::RegStatus deleteTree(platform::Registry& reg, platform::RegKey& parent, std::string_view name,
                               const std::string& path, const std::function<bool(const std::string& path)>& mayDelete,
                               int depth) {
    if (depth > kMaxKeyDepth) return platform::RegStatus::AccessDenied;
    OpenResult key = OpenSubkey(reg, parent, name);
    if (key.status != platform::RegStatus::Success) return key.status;
    if (mayDelete && !mayDelete(path)) return platform::RegStatus::AccessDenied;
    // All names first: deleting shifts the index of the subkeys still to come.
    const std::vector<std::string> children = EnumSubkeyNames(reg, *key.key);
    for (const std::string& child : children) {
        if (HoldsNul(child)) continue;  // never reached by its name: it stays, and so does this key
        deleteTree(reg, *key.key, child, path + "\\" + child, mayDelete, depth + 1);
    }
    // Refused while a subkey is left.
    return reg.deleteKey(*key.key);
}

}  // namespace

platform::RegStatus DeleteKeyTree(platform::Registry& reg, platform::RegKey& key, std::string_view name,
                                  const std::function<bool(const std::string& path)>& mayDelete) {
    if (name.empty() || name.find('\\') != std::string_view::npos) return platform::RegStatus::NotFound;
    if (HoldsNul(name)) return platform::RegStatus::Invalid;
    return deleteTree(reg, key, name, std::string(name), mayDelete, 0);
}

platform::RegStatus DeleteValue(platform::Registry& reg, platform::RegKey& key, std::string_view name) {
    if (HoldsNul(name)) return platform::RegStatus::Invalid;
    return reg.deleteValue(key, name);
}

platform::RegStatus SetStringValue(platform::Registry& reg, platform::RegKey& key, std::string_view name,
                                   std::string_view text) {
    if (HoldsNul(name)) return platform::RegStatus::Invalid;
    platform::RegValue v;
    v.name = std::string(name);
    v.type = static_cast<std::uint32_t>(platform::ValueType::String);
    v.data = common::utf8ToUtf16le(text);
    v.data.push_back(0);
    v.data.push_back(0);
    return reg.setValue(key, v);
}

ValueEntry MakeValueEntry(const platform::RegValue& value) {
    ValueEntry e;
    e.Name = value.name;
    const std::uint64_t holds = std::max<std::uint64_t>(value.size, value.data.size());
    e.ByteCount = static_cast<std::int32_t>(
        std::min<std::uint64_t>(holds, static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())));
    e.Text = CaptionOf(value.type, value.data);
    // A caption that ends where the data read ended is not all of it.
    if (holds > value.data.size()) {
        using T = platform::ValueType;
        const auto type = static_cast<T>(value.type);
        const bool textType = type == T::String || type == T::ExpandString || type == T::Link || type == T::MultiString;
        bool endsEarly = false;
        if (textType && type != T::MultiString)
            for (std::size_t i = 0; i + 1 < value.data.size() && !endsEarly; i += 2)
                endsEarly = value.data[i] == 0 && value.data[i + 1] == 0;
        const std::string_view ellipsis = "…";
        const bool marked = e.Text.size() >= ellipsis.size() && e.Text.compare(e.Text.size() - ellipsis.size(), ellipsis.size(), ellipsis) == 0;
        if (!endsEarly && !marked) e.Text += ellipsis;
    }
    return e;
}

std::string CaptionOf(std::uint32_t type, std::span<const std::uint8_t> data) {
    using T = platform::ValueType;
    switch (static_cast<T>(type)) {
        case T::String:
        case T::ExpandString:
        case T::Link:
            return stringCaption(data);
        case T::MultiString:
            return multiStringCaption(data);
        case T::Dword:
            if (data.size() == 4) return std::to_string(littleEndian(data));
            break;
        case T::DwordBigEndian:
            if (data.size() == 4)
                return std::to_string((std::uint32_t{data[0]} << 24) | (std::uint32_t{data[1]} << 16) |
                                      (std::uint32_t{data[2]} << 8) | std::uint32_t{data[3]});
            break;
        case T::Qword:
            if (data.size() == 8) return std::to_string(littleEndian(data));
            break;
        default:
            break;
    }
    return hexBytes(data);
}

}  // namespace wd::registry
