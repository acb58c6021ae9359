// The 1-based ordered collection of the automation runtime.
//
// Items are Variants; an item may carry a text key (matched ignoring case).
// `Item` with a number outside 1..Count raises 9 "Subscript out of range",
// with a key that is not there 5 "Invalid procedure call or argument".

#ifndef QROLE_AUTOMATION_COLLECTION_H_
#define QROLE_AUTOMATION_COLLECTION_H_

#include <memory>
#include <string>
#include <vector>

#include "automation/object.h"

namespace qrole {

class Collection : public Object {
 public:
  Collection();
  static std::shared_ptr<Collection> Create() { return std::make_shared<Collection>(); }
  // Description of the class for late binding (Count, Item, Add, Remove).
  static const typelib::ClassInfo& ClassDescription();

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Item `index` (1-based); raises 9 outside 1..Count.
  const Variant& Item(int32_t index) const;
  // Item by number or by key, as a client's Item(Index) call.
  const Variant& ItemByIndex(const Variant& index) const;
  // Appends `item` (with an optional key; a duplicate key raises 457).
  void Add(Variant item, const std::string& key = "");
  void Remove(const Variant& index);
  void Clear();
  const std::vector<Variant>& items() const { return items_; }

  Variant Call(const typelib::MemberInfo& member, std::vector<Variant>& args) override;

 private:
  size_t Position(const Variant& index) const;
  std::vector<Variant> items_;
  std::vector<std::string> keys_;  // folded keys, "" when none
};

}  // namespace qrole

#endif  // QROLE_AUTOMATION_COLLECTION_H_
