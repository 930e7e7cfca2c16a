#include "pinpad/VexoAbecsTLV.h"

namespace vexo {

TVexoAbecsTLV::TVexoAbecsTLV(uint16_t AID, ByteString AData) : fID(AID), fData(std::move(AData)) {}
void TVexoAbecsTLV::Clear() {}
void TVexoAbecsTLV::Assign(const TVexoAbecsTLV&) {}
ByteString TVexoAbecsTLV::AsString() const {
    return {};
}
void TVexoAbecsTLV::SetAsString(std::string_view) {}

TVexoAbecsTLV* TVexoAbecsTLVList::New() {
    return nullptr;
}
int TVexoAbecsTLVList::Add(std::unique_ptr<TVexoAbecsTLV>) {
    return 0;
}
void TVexoAbecsTLVList::Insert(int, std::unique_ptr<TVexoAbecsTLV>) {}
void TVexoAbecsTLVList::Delete(int) {}
TVexoAbecsTLV& TVexoAbecsTLVList::Items(int Index) {
    return *fItems[static_cast<size_t>(Index)];
}
const TVexoAbecsTLV& TVexoAbecsTLVList::Items(int Index) const {
    return *fItems[static_cast<size_t>(Index)];
}
void TVexoAbecsTLVList::SetItems(int, std::unique_ptr<TVexoAbecsTLV>) {}
int TVexoAbecsTLVList::AddFromTLV(uint16_t, ByteString) {
    return 0;
}
void TVexoAbecsTLVList::AddFromTLVList(const TVexoAbecsTLVList&) {}
ByteString TVexoAbecsTLVList::AsString() const {
    return {};
}
void TVexoAbecsTLVList::SetAsString(std::string_view) {}
void TVexoAbecsTLVList::CheckIndex(int) const {}

} // namespace vexo
