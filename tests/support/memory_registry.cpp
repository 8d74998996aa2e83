#include "common/unicode.h"
#include "support/memory_registry.h"

#include <algorithm>
#include <stdexcept>

#include "registry/registry_access.h"
#include "support/memory_platform.h"

namespace wd::test {

using platform::RegValue;

struct MemoryRegistry::Node : std::enable_shared_from_this<MemoryRegistry::Node> {
    std::string name;
    std::string path;  // "HKLM\..." as made, for the log
    std::weak_ptr<Node> parent;
    std::vector<RegValue> values;
    std::vector<std::shared_ptr<Node>> children;
    std::vector<std::string> unreadable;
    bool removed = false;
    bool openDenied = false;
    bool readOnly = false;
    std::uint32_t brokenAt = UINT32_MAX;
    platform::RegStatus brokenStatus = platform::RegStatus::Success;
    // A registry link: paths through it lead to the target.
    bool link = false;
    RootKey linkRoot = RootKey::LocalMachine;
    std::string linkPath;
};

class MemoryRegistry::Handle : public platform::RegKey {
public:
    Handle(MemoryRegistry& owner, std::shared_ptr<Node> node) : owner_(owner), node_(std::move(node)) {
        ++owner_.openHandles_;
    }
    ~Handle() override { --owner_.openHandles_; }
    Node& node() const { return *node_; }

private:
    MemoryRegistry& owner_;
    std::shared_ptr<Node> node_;
};

namespace {

bool same(std::string_view a, std::string_view b) { return sameNameAsWindows(a, b); }

// What the system reads of a wide string: up to its first NUL.
std::string_view asRead(std::string_view s) { return s.substr(0, s.find('\0')); }

constexpr char kIfeoPath[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";

std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    if (path.empty()) return parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('\\', start);
        parts.push_back(path.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
        if (slash == std::string_view::npos) return parts;
        start = slash + 1;
    }
}

MemoryRegistry::Node& nodeOf(platform::RegKey& key) {
    // Every key handed to the program comes from this registry.
    return static_cast<MemoryRegistry::Handle&>(key).node();
}

void markRemoved(MemoryRegistry::Node& n) {
    n.removed = true;
    for (auto& c : n.children) markRemoved(*c);
}

std::vector<std::uint8_t> littleEndian(std::uint64_t v, int bytes) {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}

}  // namespace

MemoryRegistry::MemoryRegistry() : currentUser_(std::make_shared<Node>()), localMachine_(std::make_shared<Node>()) {
    currentUser_->name = "HKEY_CURRENT_USER";
    currentUser_->path = "HKCU";
    localMachine_->name = "HKEY_LOCAL_MACHINE";
    localMachine_->path = "HKLM";
    // As on Windows 7 and later (and Wine): one key for both views.
    share(HKLM, kIfeoPath);
}

void MemoryRegistry::share(RootKey root, std::string_view path, bool on) {
    const auto it = std::find_if(shared_.begin(), shared_.end(),
                                 [&](const auto& s) { return s.first == root && same(s.second, path); });
    if (on && it == shared_.end()) shared_.emplace_back(root, std::string(path));
    if (!on && it != shared_.end()) shared_.erase(it);
}

std::string MemoryRegistry::physicalPath(RootKey root, std::string_view path, platform::View view) const {
    const std::vector<std::string_view> parts = components(path);
    if (view == platform::View::Bit64 || root != HKLM || parts.empty() || !same(parts[0], "Software") ||
        (parts.size() > 1 && same(parts[1], "Wow6432Node")))
        return std::string(path);
    for (const auto& [r, p] : shared_) {
        const std::vector<std::string_view> sharedParts = components(p);
        if (r != root || sharedParts.size() > parts.size()) continue;
        bool below = true;
        for (std::size_t i = 0; i < sharedParts.size() && below; ++i) below = same(sharedParts[i], parts[i]);
        if (below) return std::string(path);
    }
    std::string out(parts[0]);
    out += "\\Wow6432Node";
    for (std::size_t i = 1; i < parts.size(); ++i) {
        out += '\\';
        out += parts[i];
    }
    return out;
}

MemoryRegistry::~MemoryRegistry() = default;

std::vector<std::uint8_t> MemoryRegistry::sz(std::string_view utf8) {
    std::vector<std::uint8_t> data = common::utf8ToUtf16le(utf8);
    data.push_back(0);
    data.push_back(0);
    return data;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::find(RootKey root, std::string_view path) const {
    std::shared_ptr<Node> n = root == RootKey::CurrentUser ? currentUser_ : localMachine_;
    int hops = 0;
    for (std::string_view part : components(path)) {
        if (part.empty()) return nullptr;
        auto it = std::find_if(n->children.begin(), n->children.end(),
                               [&](const std::shared_ptr<Node>& c) { return same(c->name, part); });
        if (it == n->children.end()) return nullptr;
        n = *it;
        // A path is taken through a link to where it leads, as the system does.
        while (n && n->link) {
            if (++hops > 16) return nullptr;
            n = find(n->linkRoot, n->linkPath);
        }
        if (!n) return nullptr;
    }
    return n;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::make(RootKey root, std::string_view path) {
    std::shared_ptr<Node> n = root == RootKey::CurrentUser ? currentUser_ : localMachine_;
    for (std::string_view part : components(path)) {
        if (part.empty()) throw std::invalid_argument("empty key name in " + std::string(path));
        auto it = std::find_if(n->children.begin(), n->children.end(),
                               [&](const std::shared_ptr<Node>& c) { return same(c->name, part); });
        if (it != n->children.end()) {
            n = *it;
            continue;
        }
        auto child = std::make_shared<Node>();
        child->name = std::string(part);
        child->path = n->path + "\\" + child->name;
        child->parent = n;
        n->children.push_back(child);
        n = child;
    }
    return n;
}

MemoryRegistry::Node& MemoryRegistry::mustFind(RootKey root, std::string_view path) const {
    auto n = find(root, path);
    if (!n) throw std::invalid_argument("no key " + std::string(path));
    return *n;
}

void MemoryRegistry::put(Node& node, RegValue v) {
    for (RegValue& have : node.values)
        if (same(have.name, v.name)) {
            have.type = v.type;
            have.data = std::move(v.data);
            return;
        }
    node.values.push_back(std::move(v));
}

// ---- seeding ----

void MemoryRegistry::addKey(RootKey root, std::string_view path) { make(root, path); }

void MemoryRegistry::addLink(RootKey root, std::string_view path, RootKey targetRoot, std::string_view targetPath) {
    Node& n = *make(root, path);
    n.link = true;
    n.linkRoot = targetRoot;
    n.linkPath = std::string(targetPath);
    const std::string kernel =
        std::string(targetRoot == HKCU ? "\\REGISTRY\\USER\\S-1-5-21-1000\\" : "\\REGISTRY\\MACHINE\\") + n.linkPath;
    n.values = {RegValue{"SymbolicLinkValue", 6, common::utf8ToUtf16le(kernel)}};
}

void MemoryRegistry::setRaw(RootKey root, std::string_view path, std::string_view name, std::uint32_t type,
                            std::vector<std::uint8_t> data) {
    put(*make(root, path), RegValue{std::string(name), type, std::move(data)});
}

void MemoryRegistry::setString(RootKey root, std::string_view path, std::string_view name, std::string_view utf8) {
    setRaw(root, path, name, 1, sz(utf8));
}

void MemoryRegistry::setExpandString(RootKey root, std::string_view path, std::string_view name,
                                     std::string_view utf8) {
    setRaw(root, path, name, 2, sz(utf8));
}

void MemoryRegistry::setMultiString(RootKey root, std::string_view path, std::string_view name,
                                    const std::vector<std::string>& strings) {
    std::vector<std::uint8_t> data;
    for (const std::string& s : strings) {
        const auto part = sz(s);
        data.insert(data.end(), part.begin(), part.end());
    }
    data.push_back(0);
    data.push_back(0);
    setRaw(root, path, name, 7, std::move(data));
}

void MemoryRegistry::setDword(RootKey root, std::string_view path, std::string_view name, std::uint32_t v) {
    setRaw(root, path, name, 4, littleEndian(v, 4));
}

void MemoryRegistry::setQword(RootKey root, std::string_view path, std::string_view name, std::uint64_t v) {
    setRaw(root, path, name, 11, littleEndian(v, 8));
}

void MemoryRegistry::setBinary(RootKey root, std::string_view path, std::string_view name,
                               std::vector<std::uint8_t> data) {
    setRaw(root, path, name, 3, std::move(data));
}

void MemoryRegistry::setNoData(RootKey root, std::string_view path, std::string_view name, std::uint32_t type) {
    setRaw(root, path, name, type, {});
}

// ---- looking ----

bool MemoryRegistry::hasKey(RootKey root, std::string_view path) const { return find(root, path) != nullptr; }

bool MemoryRegistry::hasValue(RootKey root, std::string_view path, std::string_view name) const {
    return value(root, path, name).has_value();
}

std::optional<RegValue> MemoryRegistry::value(RootKey root, std::string_view path, std::string_view name) const {
    auto n = find(root, path);
    if (!n) return std::nullopt;
    for (const RegValue& v : n->values)
        if (same(v.name, name)) return v;
    return std::nullopt;
}

std::vector<std::string> MemoryRegistry::subkeyNames(RootKey root, std::string_view path) const {
    std::vector<std::string> out;
    if (auto n = find(root, path))
        for (const auto& c : n->children) out.push_back(c->name);
    return out;
}

std::vector<std::string> MemoryRegistry::valueNames(RootKey root, std::string_view path) const {
    std::vector<std::string> out;
    if (auto n = find(root, path))
        for (const RegValue& v : n->values) out.push_back(v.name);
    return out;
}

std::vector<registry::RegFileKey> MemoryRegistry::tree(RootKey root, std::string_view path) const {
    std::vector<registry::RegFileKey> out;
    auto n = find(root, path);
    if (!n) return out;
    std::function<void(const Node&, const std::string&)> walk = [&](const Node& node, const std::string& full) {
        registry::RegFileKey k{full, {}};
        for (const RegValue& v : node.values) k.values.push_back({v.name, v.type, v.data});
        out.push_back(std::move(k));
        for (const auto& c : node.children) walk(*c, full + "\\" + c->name);
    };
    const std::string rootName = root == RootKey::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
    walk(*n, path.empty() ? rootName : rootName + "\\" + std::string(path));
    return out;
}

std::vector<registry::RegFileKey> MemoryRegistry::snapshot() const {
    std::vector<registry::RegFileKey> all = tree(HKCU, "");
    for (auto& k : tree(HKLM, "")) all.push_back(std::move(k));
    auto upper = [](std::string s) {
        for (char& c : s)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return s;
    };
    for (auto& k : all)
        std::sort(k.values.begin(), k.values.end(),
                  [&](const auto& a, const auto& b) { return upper(a.name) < upper(b.name); });
    std::sort(all.begin(), all.end(), [&](const auto& a, const auto& b) { return upper(a.path) < upper(b.path); });
    return all;
}

void MemoryRegistry::import(const registry::RegFile& file) {
    for (const registry::RegFileKey& k : file.keys) {
        const std::size_t slash = k.path.find('\\');
        const std::string rootName = k.path.substr(0, slash);
        const std::string path = slash == std::string::npos ? std::string() : k.path.substr(slash + 1);
        const RootKey root = rootName == "HKEY_CURRENT_USER" ? HKCU : HKLM;
        make(root, path);
        for (const registry::RegFileValue& v : k.values) setRaw(root, path, v.name, v.type, v.data);
    }
}

// ---- knobs ----

void MemoryRegistry::denyOpen(RootKey root, std::string_view path, bool on) { make(root, path)->openDenied = on; }

void MemoryRegistry::makeReadOnly(RootKey root, std::string_view path, bool on) { make(root, path)->readOnly = on; }

void MemoryRegistry::makeUnreadable(RootKey root, std::string_view path, std::string_view name) {
    mustFind(root, path).unreadable.emplace_back(name);
}

bool MemoryRegistry::removeTree(RootKey root, std::string_view path) {
    auto n = find(root, path);
    if (!n || path.empty()) return false;
    auto parent = n->parent.lock();
    if (!parent) return false;
    markRemoved(*n);
    auto& siblings = parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), n), siblings.end());
    return true;
}

void MemoryRegistry::breakEnumeration(RootKey root, std::string_view path, std::uint32_t index,
                                      platform::RegStatus status) {
    Node& n = mustFind(root, path);
    n.brokenAt = index;
    n.brokenStatus = status;
}

void MemoryRegistry::vanishDuringEnumeration(RootKey root, std::string_view path, std::uint32_t index) {
    auto target = find(root, path);
    if (!target) throw std::invalid_argument("no key " + std::string(path));
    const std::string p(path);
    beforeEnumerate = [this, root, p, index, keyPath = target->path](const std::string& enumerated,
                                                                     std::uint32_t i) {
        if (i == index && same(enumerated, keyPath)) removeTree(root, p);
    };
}

// ---- platform::Registry ----

std::unique_ptr<platform::RegKey> MemoryRegistry::open(RootKey root, std::string_view path, platform::View view,
                                                       platform::RegStatus& status) {
    auto n = find(root, physicalPath(root, asRead(path), view));
    if (!n) {
        status = platform::RegStatus::NotFound;
        return nullptr;
    }
    if (n->openDenied) {
        status = platform::RegStatus::AccessDenied;
        return nullptr;
    }
    status = platform::RegStatus::Success;
    return std::make_unique<Handle>(*this, n);
}

std::unique_ptr<platform::RegKey> MemoryRegistry::create(RootKey root, std::string_view path, platform::View view,
                                                         platform::RegStatus& status) {
    const std::string physical = physicalPath(root, asRead(path), view);
    for (std::string_view part : components(physical))
        if (part.empty()) {
            status = platform::RegStatus::NotFound;
            return nullptr;
        }
    if (!find(root, physical)) {
        if (failWrites) {
            status = platform::RegStatus::AccessDenied;
            return nullptr;
        }
        make(root, physical);
    }
    return open(root, physical, platform::View::Bit64, status);
}

platform::RegStatus MemoryRegistry::enumSubkey(platform::RegKey& key, std::uint32_t index, std::string& name) {
    ++enumerationCalls_;
    name.clear();
    Node& n = nodeOf(key);
    if (beforeEnumerate) beforeEnumerate(n.path, index);
    if (n.removed) return platform::RegStatus::KeyDeleted;
    if (index == n.brokenAt) return n.brokenStatus;
    if (index >= n.children.size()) return platform::RegStatus::NoMoreItems;
    name = n.children[index]->name;
    return platform::RegStatus::Success;
}

platform::RegStatus MemoryRegistry::enumValue(platform::RegKey& key, std::uint32_t index, RegValue& value, std::size_t maxBytes) {
    ++enumerationCalls_;
    value = {};
    Node& n = nodeOf(key);
    if (beforeEnumerate) beforeEnumerate(n.path, index);
    if (n.removed) return platform::RegStatus::KeyDeleted;
    if (index == n.brokenAt) return n.brokenStatus;
    if (index >= n.values.size()) return platform::RegStatus::NoMoreItems;
    const RegValue& v = n.values[index];
    for (const std::string& u : n.unreadable)
        if (same(u, v.name)) return platform::RegStatus::MoreData;
    value.name = v.name;
    value.type = v.type;
    value.size = v.data.size();
    value.data.assign(v.data.begin(), v.data.begin() + static_cast<std::ptrdiff_t>(std::min(maxBytes, v.data.size())));
    largestRead = std::max(largestRead, value.data.size());
    return platform::RegStatus::Success;
}

platform::RegStatus MemoryRegistry::enumValueName(platform::RegKey& key, std::uint32_t index, std::string& name) {
    ++enumerationCalls_;
    name.clear();
    Node& n = nodeOf(key);
    if (beforeEnumerate) beforeEnumerate(n.path, index);
    if (n.removed) return platform::RegStatus::KeyDeleted;
    if (index == n.brokenAt) return n.brokenStatus;
    if (index >= n.values.size()) return platform::RegStatus::NoMoreItems;
    name = n.values[index].name;
    return platform::RegStatus::Success;
}

platform::RegStatus MemoryRegistry::queryValue(platform::RegKey& key, std::string_view name, RegValue& value, std::size_t maxBytes) {
    ++queries_;
    value = {};
    name = asRead(name);
    Node& n = nodeOf(key);
    if (n.removed) return platform::RegStatus::KeyDeleted;
    for (const RegValue& v : n.values) {
        if (!same(v.name, name)) continue;
        for (const std::string& u : n.unreadable)
            if (same(u, v.name)) return platform::RegStatus::MoreData;
        value.name = v.name;
        value.type = v.type;
        value.size = v.data.size();
        value.data.assign(v.data.begin(), v.data.begin() + static_cast<std::ptrdiff_t>(std::min(maxBytes, v.data.size())));
        largestRead = std::max(largestRead, value.data.size());
        return platform::RegStatus::Success;
    }
    return platform::RegStatus::NotFound;
}

platform::RegStatus MemoryRegistry::info(platform::RegKey& key, platform::KeyInfo& out) {
    out = {};
    Node& n = nodeOf(key);
    if (n.removed) return platform::RegStatus::KeyDeleted;
    out.subkeys = static_cast<std::uint32_t>(n.children.size());
    out.values = static_cast<std::uint32_t>(n.values.size());
    return platform::RegStatus::Success;
}

std::unique_ptr<platform::RegKey> MemoryRegistry::openSubkey(platform::RegKey& parent, std::string_view name,
                                                             platform::RegStatus& status) {
    name = asRead(name);
    Node& n = nodeOf(parent);
    if (n.removed) {
        status = platform::RegStatus::KeyDeleted;
        return nullptr;
    }
    auto it = std::find_if(n.children.begin(), n.children.end(),
                           [&](const std::shared_ptr<Node>& c) { return same(c->name, name); });
    if (name.empty() || name.find('\\') != std::string_view::npos || it == n.children.end()) {
        status = platform::RegStatus::NotFound;
        return nullptr;
    }
    if ((*it)->link) {
        status = platform::RegStatus::LinkRefused;
        return nullptr;
    }
    if ((*it)->openDenied) {
        status = platform::RegStatus::AccessDenied;
        return nullptr;
    }
    status = platform::RegStatus::Success;
    return std::make_unique<Handle>(*this, *it);
}

platform::RegStatus MemoryRegistry::deleteKey(platform::RegKey& key) {
    Node& n = nodeOf(key);
    log.push_back("deleteKey " + n.path);
    if (n.removed) return platform::RegStatus::KeyDeleted;
    auto parent = n.parent.lock();
    if (!parent) return platform::RegStatus::AccessDenied;  // a root key
    if (failDeletes || n.readOnly || parent->readOnly || !n.children.empty()) return platform::RegStatus::AccessDenied;
    markRemoved(n);
    auto& siblings = parent->children;
    const auto self = n.shared_from_this();
    siblings.erase(std::remove(siblings.begin(), siblings.end(), self), siblings.end());
    return platform::RegStatus::Success;
}

platform::RegStatus MemoryRegistry::deleteValue(platform::RegKey& key, std::string_view name) {
    name = asRead(name);
    Node& n = nodeOf(key);
    log.push_back("deleteValue " + n.path + ":" + std::string(name));
    if (n.removed) return platform::RegStatus::KeyDeleted;
    if (failDeletes || n.readOnly) return platform::RegStatus::AccessDenied;
    auto it = std::find_if(n.values.begin(), n.values.end(), [&](const RegValue& v) { return same(v.name, name); });
    if (it == n.values.end()) return platform::RegStatus::NotFound;
    n.values.erase(it);
    return platform::RegStatus::Success;
}

platform::RegStatus MemoryRegistry::setValue(platform::RegKey& key, const RegValue& value) {
    Node& n = nodeOf(key);
    RegValue v = value;
    v.name = std::string(asRead(v.name));
    log.push_back("setValue " + n.path + ":" + v.name);
    if (n.removed) return platform::RegStatus::KeyDeleted;
    if (failWrites || n.readOnly) return platform::RegStatus::AccessDenied;
    put(n, std::move(v));
    return platform::RegStatus::Success;
}

std::optional<std::string> MemoryRegistry::storedPath(platform::RegKey& key) {
    const Node& n = nodeOf(key);
    const std::size_t slash = n.path.find('\\');
    if (hideStoredPaths || n.removed || slash == std::string::npos) return std::nullopt;
    return n.path.substr(slash + 1);
}

}  // namespace wd::test
