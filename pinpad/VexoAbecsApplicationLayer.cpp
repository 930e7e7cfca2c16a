#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsTLV.h"
#include <iostream>

namespace vexo {

TVexoAbecsApplicationLayer::TVexoAbecsApplicationLayer() {}
void TVexoAbecsApplicationLayer::SetID(const std::string& AID) {
    fID = AID;
}
ByteString TVexoAbecsApplicationLayer::GetAsString() const {
    return {};
}
void TVexoAbecsApplicationLayer::SetAsString(std::string_view) {}
void TVexoAbecsApplicationLayer::Clear() {}
ByteString TVexoAbecsApplicationLayer::GetDataPacket(int32_t, int32_t& BlocksRead) const {
    BlocksRead = 1;
    return {};
}

void TVexoAbecsCommand::Clear() {}
void TVexoAbecsCommand::AddParamFromData(ByteString) {}
void TVexoAbecsCommand::AddParamFromTagValue(uint16_t, std::string_view) {}
void TVexoAbecsCommand::AddParamFromTagValue(uint16_t, std::iostream&) {}

ByteString TVexoAbecsResponse::GetAsString() const {
    return {};
}
void TVexoAbecsResponse::SetAsString(std::string_view) {}
void TVexoAbecsResponse::Clear() {}
ByteString TVexoAbecsResponse::GetResponseData() const {
    return {};
}
ByteString TVexoAbecsResponse::GetResponseFromTagValue(uint16_t) const {
    return {};
}
void TVexoAbecsResponse::GetResponseFromTagValue(uint16_t, std::iostream&) const {}
void TVexoAbecsResponse::GetResponseFromTagValue(uint16_t, std::vector<std::string>&) const {}
void TVexoAbecsResponse::GetResponseAsValues(std::vector<std::string>&) const {}
void TVexoAbecsResponse::ExtractTLVList(const TVexoAbecsBlockList&, TVexoAbecsTLVList&) {}

} // namespace vexo
