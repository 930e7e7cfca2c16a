#include "pinpad/VexoAbecsPacket.h"

namespace vexo {

ByteString TVexoAbecsPacket::GetAsString() const {
    return {};
}
void TVexoAbecsPacket::SetAsString(std::string_view) {}
ByteString TVexoAbecsPacket::CalcCRC(std::string_view) {
    return {};
}
uint16_t TVexoAbecsPacket::UpdateCRC(uint16_t ACRC, std::string_view) {
    return ACRC;
}
ByteString TVexoAbecsPacket::StuffData(std::string_view AData) {
    return ByteString(AData);
}
ByteString TVexoAbecsPacket::UnstuffData(std::string_view AData) {
    return ByteString(AData);
}

} // namespace vexo
