#include "pinpad/VexoAbecsBlock.h"
#include <iostream>

namespace vexo {

void TVexoAbecsBlock::SetData(ByteString AData) {
    fData = std::move(AData);
}
ByteString TVexoAbecsBlock::AsString() const {
    return {};
}
void TVexoAbecsBlock::SetAsString(std::string_view) {}

TVexoAbecsBlock* TVexoAbecsBlockList::New() {
    return nullptr;
}
int TVexoAbecsBlockList::Add(std::unique_ptr<TVexoAbecsBlock>) {
    return 0;
}
void TVexoAbecsBlockList::Insert(int, std::unique_ptr<TVexoAbecsBlock>) {}
void TVexoAbecsBlockList::Delete(int) {}
TVexoAbecsBlock& TVexoAbecsBlockList::Items(int Index) {
    return *fItems[static_cast<size_t>(Index)];
}
const TVexoAbecsBlock& TVexoAbecsBlockList::Items(int Index) const {
    return *fItems[static_cast<size_t>(Index)];
}
void TVexoAbecsBlockList::SetItems(int, std::unique_ptr<TVexoAbecsBlock>) {}
int TVexoAbecsBlockList::AddFromData(ByteString) {
    return 0;
}
void TVexoAbecsBlockList::AddFromTagValue(uint16_t, std::string_view) {}
void TVexoAbecsBlockList::AddFromTagValue(uint16_t, std::iostream&) {}
ByteString TVexoAbecsBlockList::AsString() const {
    return {};
}
void TVexoAbecsBlockList::SetAsString(std::string_view) {}
void TVexoAbecsBlockList::CheckIndex(int) const {}
void TVexoAbecsBlockList::AppendChunks(uint16_t, std::string_view, bool) {}

} // namespace vexo
