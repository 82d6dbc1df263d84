#include "platform/registry_store.h"

#include "platform/atomic_file.h"
#include "platform/reg_format.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <optional>

namespace platform {
namespace {

// A configuration store; anything bigger is not ours and is refused rather
// than read into memory.
constexpr std::size_t kMaxFileSize = 16u * 1024u * 1024u;

std::atomic<RegistryStore::BeforeReplaceHook> g_beforeReplaceHook{nullptr};

AtomicWriteOptions storeWriteOptions()
{
    AtomicWriteOptions options;
    options.createDirectories = true;
    if (const auto hook = g_beforeReplaceHook.load())
        options.beforeRename = hook;
    return options;
}

// Reads and parses the file; a missing file is an empty store.
std::optional<reg::Document> loadDocument(const std::string& path, OsError& error)
{
    std::string content;
    if (readFileBounded(path, kMaxFileSize, content, error) == ReadResult::Failed)
        return std::nullopt;
    return reg::parse(content);
}

// The value `name` of `key`, with the document it points into.
struct Found {
    reg::Document doc;
    const reg::Entry* entry = nullptr;
};

std::optional<Found> lookup(const std::string& path, const std::string& key, const std::string& name,
                            OsError& error)
{
    if (!reg::validKey(key) || !reg::validName(name))
        return std::nullopt;
    auto doc = loadDocument(path, error);
    if (!doc)
        return std::nullopt;
    Found found{std::move(*doc), nullptr};
    found.entry = reg::findValue(found.doc, reg::normalizeKey(key), name);
    if (!found.entry)
        return std::nullopt;
    return found;
}

// One read-modify-write of the parsed file under the writers' lock.
// `change` returns false (with the reason in the error) when there is
// nothing to do.
template <typename Change>
bool modifyStore(const std::string& path, OsError& error, Change&& change)
{
    return updateFileLocked(
        path, kMaxFileSize,
        [&](std::string& content, OsError& err) {
            reg::Document doc = reg::parse(content);
            if (!change(doc, err))
                return false;
            content = reg::format(doc);
            return true;
        },
        error, storeWriteOptions());
}

} // namespace

// ---- RegistryStore -------------------------------------------------------

std::string RegistryStore::defaultPath()
{
    if (const char* explicitPath = std::getenv("QUELLIX_REGISTRY"); explicitPath && *explicitPath)
        return explicitPath;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/quellix/registry.reg";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/quellix/registry.reg";
}

RegistryStore::RegistryStore(std::string filePath) : path_(std::move(filePath)) {}

void RegistryStore::setBeforeReplaceHook(BeforeReplaceHook hook)
{
    g_beforeReplaceHook.store(hook);
}

bool RegistryStore::readNumber(const std::string& key, const std::string& name, std::uint32_t& value) const
{
    value = 0;
    const auto found = lookup(path_, key, name, lastError_);
    if (!found)
        return false;
    const auto number = reg::numberOf(*found->entry);
    if (!number)
        return false;
    value = *number;
    return true;
}

bool RegistryStore::readString(const std::string& key, const std::string& name, std::string& value) const
{
    value.clear();
    const auto found = lookup(path_, key, name, lastError_);
    if (!found)
        return false;
    if (auto text = reg::stringOf(*found->entry))
        value = std::move(*text);
    return !value.empty();
}

bool RegistryStore::writeNumber(const std::string& key, const std::string& name, std::uint32_t value)
{
    Batch batch;
    batch.writeNumber(key, name, value);
    return apply(batch);
}

bool RegistryStore::writeString(const std::string& key, const std::string& name, const std::string& value)
{
    Batch batch;
    batch.writeString(key, name, value);
    return apply(batch);
}

bool RegistryStore::deleteValue(const std::string& key, const std::string& name)
{
    lastError_ = {};
    if (!reg::validKey(key) || !reg::validName(name)) {
        lastError_ = OsError{EINVAL, "delete", key};
        return false;
    }
    return modifyStore(path_, lastError_, [&](reg::Document& doc, OsError& error) {
        if (reg::removeValue(doc, reg::normalizeKey(key), name))
            return true;
        error = OsError{ENOENT, "delete", key + "\\" + name};
        return false;
    });
}

bool RegistryStore::deleteKey(const std::string& key)
{
    lastError_ = {};
    if (!reg::validKey(key)) {
        lastError_ = OsError{EINVAL, "delete", key};
        return false;
    }
    return modifyStore(path_, lastError_, [&](reg::Document& doc, OsError& error) {
        if (reg::removeKey(doc, reg::normalizeKey(key)))
            return true;
        error = OsError{ENOENT, "delete", key};
        return false;
    });
}

bool RegistryStore::update(const std::function<void(Batch&)>& fill)
{
    Batch batch;
    if (fill)
        fill(batch);
    return apply(batch);
}

bool RegistryStore::apply(const Batch& batch)
{
    lastError_ = {};
    // Everything is checked first, so a bad change cannot leave the ones
    // before it written.
    for (const Batch::Change& c : batch.changes_) {
        const bool valueOp = c.op != Batch::Op::DeleteKey;
        const bool valid = reg::validKey(c.key) && (!valueOp || reg::validName(c.name))
                           && (c.op != Batch::Op::String || reg::validText(c.text));
        if (!valid) {
            const bool write = c.op == Batch::Op::Number || c.op == Batch::Op::String;
            lastError_ = OsError{EINVAL, write ? "write" : "delete", c.key};
            return false;
        }
    }
    if (batch.empty())
        return true;
    return modifyStore(path_, lastError_, [&](reg::Document& doc, OsError&) {
        for (const Batch::Change& c : batch.changes_) {
            const std::string key = reg::normalizeKey(c.key);
            switch (c.op) {
            case Batch::Op::Number:
                reg::setNumber(doc, key, c.name, c.number);
                break;
            case Batch::Op::String:
                reg::setString(doc, key, c.name, c.text);
                break;
            case Batch::Op::DeleteValue:
                reg::removeValue(doc, key, c.name);
                break;
            case Batch::Op::DeleteKey:
                reg::removeKey(doc, key);
                break;
            }
        }
        return true;
    });
}

// ---- RegistryStore::Batch ------------------------------------------------

void RegistryStore::Batch::writeNumber(const std::string& key, const std::string& name, std::uint32_t value)
{
    changes_.push_back(Change{Op::Number, key, name, {}, value});
}

void RegistryStore::Batch::writeString(const std::string& key, const std::string& name, const std::string& value)
{
    changes_.push_back(Change{Op::String, key, name, value, 0});
}

void RegistryStore::Batch::deleteValue(const std::string& key, const std::string& name)
{
    changes_.push_back(Change{Op::DeleteValue, key, name, {}, 0});
}

void RegistryStore::Batch::deleteKey(const std::string& key)
{
    changes_.push_back(Change{Op::DeleteKey, key, {}, {}, 0});
}

} // namespace platform
