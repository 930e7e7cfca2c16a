// What the block list and the TLV list share, run against both.
#include "pinpad/VexoAbecsBlock.h"
#include "pinpad/VexoAbecsTLV.h"

#include <gtest/gtest.h>
#include <type_traits>

using namespace vexo;

namespace {

std::unique_ptr<TVexoAbecsBlock> Item(TVexoAbecsBlockList*, const char* AData) {
    auto block = std::make_unique<TVexoAbecsBlock>();
    block->SetData(AData);
    return block;
}

std::unique_ptr<TVexoAbecsTLV> Item(TVexoAbecsTLVList*, const char* AData) {
    return std::make_unique<TVexoAbecsTLV>(1, AData);
}

template <class TList> class ItemList : public ::testing::Test {
protected:
    auto Make(const char* AData) { return Item(static_cast<TList*>(nullptr), AData); }
    // The items' data in order, joined by '|'.
    std::string Contents() const {
        std::string out;
        for (int i = 0; i < list.Count(); ++i)
            out += (i ? "|" : "") + list.Items(i).Data();
        return out;
    }
    template <class F> std::string RangeErrorOf(F&& AAction) {
        try {
            AAction();
        } catch (const ERangeError& e) {
            return e.Message();
        }
        return "";
    }

    TList list;
};

using Lists = ::testing::Types<TVexoAbecsBlockList, TVexoAbecsTLVList>;
TYPED_TEST_SUITE(ItemList, Lists);

TYPED_TEST(ItemList, AddInsertSetAndDeleteKeepTheOrder) {
    EXPECT_EQ(this->list.Add(this->Make("b")), 0);
    EXPECT_EQ(this->list.Add(this->Make("d")), 1);
    this->list.Insert(0, this->Make("a"));
    this->list.Insert(2, this->Make("c"));
    this->list.Insert(this->list.Count(), this->Make("e")); // Count appends
    EXPECT_EQ(this->Contents(), "a|b|c|d|e");
    this->list.SetItems(4, this->Make("E"));
    this->list.Delete(0);
    this->list.Delete(3);
    EXPECT_EQ(this->Contents(), "b|c|d");
    EXPECT_EQ(this->list.AsString(),
              this->Make("b")->AsString() + this->Make("c")->AsString() + this->Make("d")->AsString());
    this->list.Clear();
    EXPECT_EQ(this->list.Count(), 0);
    EXPECT_EQ(this->list.AsString(), "");
}

TYPED_TEST(ItemList, AnIndexOutsideTheListIsARangeErrorAndChangesNothing) {
    this->list.Add(this->Make("a"));
    const auto& constList = this->list;
    EXPECT_EQ(this->RangeErrorOf([&] { this->list.Items(1); }), "List index out of bounds (1)");
    EXPECT_EQ(this->RangeErrorOf([&] { constList.Items(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(this->RangeErrorOf([&] { this->list.Delete(1); }), "List index out of bounds (1)");
    EXPECT_EQ(this->RangeErrorOf([&] { this->list.SetItems(1, this->Make("x")); }),
              "List index out of bounds (1)");
    EXPECT_EQ(this->RangeErrorOf([&] { this->list.Insert(2, this->Make("x")); }),
              "List index out of bounds (2)");
    EXPECT_EQ(this->RangeErrorOf([&] { this->list.Insert(-1, this->Make("x")); }),
              "List index out of bounds (-1)");
    EXPECT_EQ(this->Contents(), "a");
}

TYPED_TEST(ItemList, AnEmptyReferenceIsRefusedByName) {
    const std::string message = std::is_same_v<TypeParam, TVexoAbecsBlockList>
                                    ? "Cannot add an empty block reference"
                                    : "Cannot add an empty TLV reference";
    this->list.Add(this->Make("a"));
    for (auto action :
         {+[](TypeParam& AList) { AList.Add(nullptr); }, +[](TypeParam& AList) { AList.Insert(0, nullptr); },
          +[](TypeParam& AList) { AList.SetItems(0, nullptr); }}) {
        try {
            action(this->list);
            ADD_FAILURE() << "an empty reference was taken";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), message);
        }
    }
    EXPECT_EQ(this->Contents(), "a");
}

} // namespace
