#include "list_editor.h"

#include "registry_values.h"

namespace qorwin {
namespace {

bool Has(const std::string& s, const char* chars) { return s.find_first_of(chars) != std::string::npos; }

}  // namespace

const char* ListEditor::ValueName() const {
    return kind_ == Kind::Address ? value::kEmailAddress : value::kPagerNumber;
}

void ListEditor::Load(SettingsStore& store) {
    unsigned char block[kListSize] = {};
    if (!ReadBlock(store, ValueName(), block, sizeof block)) {
        LoadBlock(nullptr, 0);
        return;
    }
    LoadBlock(block, sizeof block);
}

void ListEditor::LoadBlock(const unsigned char* block, std::size_t size) {
    addresses_.clear();
    pagers_.clear();
    lines_.clear();
    for (const std::string& entry : ParseEntryList(block, size)) {
        if (lines_.size() >= kListEditorMax) break;
        if (kind_ == Kind::Address) {
            AddressEntry e = SplitAddressEntry(entry);
            lines_.push_back(e.name + " " + e.address);
            addresses_.push_back(std::move(e));
        } else {
            pagers_.push_back(SplitPagerEntry(entry));
            lines_.push_back(entry);  // shown as stored
        }
    }
}

std::size_t ListEditor::Save(SettingsStore& store) const {
    unsigned char block[kListSize];
    std::size_t stored =
        kind_ == Kind::Address ? BuildAddressList(addresses_, block) : BuildPagerList(pagers_, block);
    WriteBlock(store, ValueName(), block, sizeof block);
    return stored;
}

bool ListEditor::Add(const std::string& rawName, const std::string& rawSecond) {
    const std::string name = TrimBlanks(rawName);
    if (name.empty()) return false;
    const std::string second = TrimBlanks(rawSecond);
    if (second.empty()) return false;
    if (lines_.size() >= kListEditorMax) return false;
    if (name.size() >= kListNameSize || second.size() >= SecondSize()) return false;
    if (Has(second, " \t")) return false;
    if (kind_ == Kind::Address) {
        if (Has(name, "<>") || Has(second, "<>")) return false;
        addresses_.push_back(AddressEntry{name, second});
        lines_.push_back(name + " " + second);
    } else {
        pagers_.push_back(PagerEntry{second, name});
        lines_.push_back(second + "    " + name);
    }
    return true;
}

bool ListEditor::Remove(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= lines_.size()) return false;
    lines_.erase(lines_.begin() + index);
    if (kind_ == Kind::Address)
        addresses_.erase(addresses_.begin() + index);
    else
        pagers_.erase(pagers_.begin() + index);
    return true;
}

}  // namespace qorwin
