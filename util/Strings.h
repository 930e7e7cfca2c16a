#pragma once
#include "util/Types.h"
#include <cstdint>
#include <string>
#include <string_view>

namespace vexo {

// Log renderings of byte strings.
std::string TraduzirControles(std::string_view AData);     // control bytes as [NUL], [STX], [4], ...
std::string EscaparNaoImprimiveis(std::string_view AData); // bytes outside 32..127 as \xHH

// Big-endian integers and hexadecimal.
ByteString InteiroParaBytes(int32_t AValue, int ACount);
int32_t BytesParaInteiro(std::string_view ABytes); // EConvertError above 32 bits
ByteString HexParaBytes(std::string_view AHex);    // EConvertError on a pair that is not hex
bool HexParaBytes(std::string_view AHex, ByteString& ABytes);
ByteString HexParaBytes(std::string_view AHex, const ByteString& ADefault);
std::string BytesParaHex(std::string_view ABytes);

// Fixed widths, counted in characters of UTF-8 text.
std::string CompletarDireita(std::string_view AText, int AWidth, char AFill = ' ');
std::string CompletarEsquerda(std::string_view AText, int AWidth, char AFill = ' ');
std::string Centralizar(std::string_view AText, int AWidth, char AFill = ' ');

bool EhNumerico(std::string_view AText);
bool EhAlfanumerico(std::string_view AText);
bool EhHexadecimal(std::string_view AText);
// The ASCII letters and digits of AText, in order; everything else (accented letters too) dropped.
std::string SomenteAlfaNumericos(std::string_view AText);

// Tiny helpers shared by every layer.
std::string UpperCase(std::string_view AText); // ASCII letters only
std::string LowerCase(std::string_view AText); // ASCII letters only
std::string Trim(std::string_view AText);      // blanks and control characters at both ends

} // namespace vexo
