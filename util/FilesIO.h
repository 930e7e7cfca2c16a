#pragma once
#include "util/Types.h"
#include <chrono>
#include <string>
#include <string_view>

namespace vexo {

// Writes AData (bytes, written as they are) to AFile. Raises EInOutError on failure.
void GravarArquivoTexto(const std::string& AFile, std::string_view AData, bool AAppend, bool ALineBreak,
                        bool ACreateFolder);

// Appends one line to a log file; renders control bytes when ARender. Never fails.
void GravarLinhaLog(const std::string& AFile, std::string_view AData, bool ARender) noexcept;

// Local wall time as "dd/mm hh:nn:ss:zzz", the stamp of every log line.
std::string LogTimeStamp();
std::string LogTimeStamp(std::chrono::system_clock::time_point AWhen);

} // namespace vexo
