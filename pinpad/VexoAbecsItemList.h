#pragma once
#include "util/Exception.h"
#include "util/Types.h"
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vexo {

// Ordered list that owns its items: what the block list and the TLV list share. TItem names itself
// in errors through TItem::ItemName and gives its wire form through AsString().
template <class TItem> class TVexoAbecsItemList {
public:
    TItem* New() { // appends an empty item; the list keeps ownership
        fItems.push_back(std::make_unique<TItem>());
        return fItems.back().get();
    }
    // Returns the new item's index.
    int Add(std::unique_ptr<TItem> AItem) {
        CheckItem(AItem);
        fItems.push_back(std::move(AItem));
        return Count() - 1;
    }
    // Index may be Count, which appends.
    void Insert(int Index, std::unique_ptr<TItem> AItem) {
        if (Index != Count()) CheckIndex(Index);
        CheckItem(AItem);
        fItems.insert(fItems.begin() + Index, std::move(AItem));
    }
    void Delete(int Index) {
        CheckIndex(Index);
        fItems.erase(fItems.begin() + Index);
    }
    void Clear() { fItems.clear(); }

    int Count() const { return static_cast<int>(fItems.size()); }
    // Index outside 0..Count-1 raises ERangeError.
    TItem& Items(int Index) {
        CheckIndex(Index);
        return *fItems[static_cast<std::size_t>(Index)];
    }
    const TItem& Items(int Index) const {
        CheckIndex(Index);
        return *fItems[static_cast<std::size_t>(Index)];
    }
    void SetItems(int Index, std::unique_ptr<TItem> AItem) {
        CheckIndex(Index);
        CheckItem(AItem);
        fItems[static_cast<std::size_t>(Index)] = std::move(AItem);
    }

    // Items' wire forms back to back.
    ByteString AsString() const {
        ByteString out;
        for (const auto& item : fItems)
            out += item->AsString();
        return out;
    }

protected:
    TItem& Last() { return *fItems.back(); }
    bool Empty() const { return fItems.empty(); }

private:
    void CheckIndex(int Index) const {
        if (Index < 0 || Index >= Count())
            throw ERangeError("List index out of bounds (" + std::to_string(Index) + ")");
    }
    static void CheckItem(const std::unique_ptr<TItem>& AItem) {
        if (!AItem) throw Exception(std::string("Cannot add an empty ") + TItem::ItemName + " reference");
    }

    std::vector<std::unique_ptr<TItem>> fItems;
};

} // namespace vexo
