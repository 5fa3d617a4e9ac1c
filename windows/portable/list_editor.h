// The address list of the e-mail sheet and the pager list of the pager sheet
// as their pages edit them: records in list order, the lines the list box
// shows, and the stored block.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "entry_lists.h"
#include "settings_store.h"

namespace qorwin {

// Field sizes of a record, with the terminator: what the page's edits accept.
inline constexpr std::size_t kListNameSize = 64;
inline constexpr std::size_t kAddressSize = 100;
inline constexpr std::size_t kPagerNumberSize = 64;
// More than the stored block can take (its smallest entries need 5 bytes).
inline constexpr std::size_t kListEditorMax = 512;

class ListEditor {
public:
    enum class Kind { Address, Pager };

    explicit ListEditor(Kind kind) : kind_(kind) {}

    // The stored "Email Address" or "Pager Number" list; a missing value
    // gives an empty list.
    void Load(SettingsStore& store);
    void LoadBlock(const unsigned char* block, std::size_t size);
    // Writes the whole 2048-byte block; returns how many entries it took.
    std::size_t Save(SettingsStore& store) const;

    // name and second (address or number) are trimmed; both must be filled.
    // Refused as well: texts too long for the record, a name or address with
    // "<" or ">" and an address or number with a blank, which the stored form
    // could not give back. True when the record was appended.
    bool Add(const std::string& name, const std::string& second);
    // Nothing happens for an index that is not in the list.
    bool Remove(int index);

    std::size_t Count() const { return lines_.size(); }
    // As the list box shows it: "name address", or "number    name".
    const std::string& Line(std::size_t i) const { return lines_[i]; }

    const char* ValueName() const;
    std::size_t SecondSize() const { return kind_ == Kind::Address ? kAddressSize : kPagerNumberSize; }

private:
    Kind kind_;
    std::vector<AddressEntry> addresses_;
    std::vector<PagerEntry> pagers_;
    std::vector<std::string> lines_;
};

}  // namespace qorwin
