// Asking the cardholder: GKY, GCD and MNU.
#include "pinpad/VexoAbecsCommandLimits.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/PinPadModel.h"
#include "util/CodePage.h"

namespace kestrel::sim {

using namespace vexo;

namespace {

// The PIN pad's own texts for the GCD prompts, by prompt number from 1.
constexpr const char* kPrompts[] = {
    "DIGITE O DDD",
    "REDIGITE O DDD",
    "DIGITE O TELEFONE",
    "REDIGITE O TELEFONE",
    "DIGITE DDD E TELEFONE",
    "REDIGITE DDD E TELEFONE",
    "DIGITE O CPF",
    "REDIGITE O CPF",
    "DIGITE O RG",
    "REDIGITE O RG",
    "DIGITE OS 4 ULTIMOS DIGITOS",
    "DIGITE O CODIGO DE SEGURANCA",
    "DIGITE O CNPJ",
    "REDIGITE O CNPJ",
    "DIGITE A DATA (DDMMAAAA)",
    "DIGITE A DATA (DDMMAA)",
    "DIGITE A DATA (DDMM)",
    "DIGITE O DIA (DD)",
    "DIGITE O MES (MM)",
    "DIGITE O ANO (AA)",
    "DIGITE O ANO (AAAA)",
    "DATA DE NASCIMENTO (DDMMAAAA)",
    "DATA DE NASCIMENTO (DDMMAA)",
    "DATA DE NASCIMENTO (DDMM)",
    "DIA DE NASCIMENTO (DD)",
    "MES DE NASCIMENTO (MM)",
    "ANO DE NASCIMENTO (AA)",
    "ANO DE NASCIMENTO (AAAA)",
    "DIGITE A IDENTIFICACAO",
    "CODIGO DE FIDELIDADE",
    "NUMERO DA MESA",
    "QUANTIDADE DE PESSOAS",
    "QUANTIDADE",
    "NUMERO DA BOMBA",
    "NUMERO DA VAGA",
    "NUMERO DO GUICHE",
    "CODIGO DO VENDEDOR",
    "CODIGO DO GARCOM",
    "NOTA DO ATENDIMENTO",
    "NUMERO DA NOTA FISCAL",
    "NUMERO DA COMANDA",
    "PLACA DO VEICULO",
    "DIGITE A QUILOMETRAGEM",
    "QUILOMETRAGEM INICIAL",
    "QUILOMETRAGEM FINAL",
    "DIGITE A PORCENTAGEM",
    "PESQUISA DE SATISFACAO 0 A 10",
    "AVALIE O ATENDIMENTO 0 A 10",
    "DIGITE O TOKEN",
    "DIGITE O NUMERO DO CARTAO",
    "NUMERO DE PARCELAS",
    "CODIGO DO PLANO",
    "CODIGO DO PRODUTO",
};
constexpr size_t kPromptCount = std::size(kPrompts);
static_assert(kPromptCount == kGcdPromptCount, "the host and the PIN pad number the same GCD prompts");

// The prompt of SPE_MSGIDX, two bytes high first; none for an index the PIN pad has no text for.
const char* Prompt(const ByteString& AIndex) {
    if (AIndex.size() != 2) return nullptr;
    const auto index = static_cast<size_t>((static_cast<unsigned char>(AIndex[0]) << 8) |
                                           static_cast<unsigned char>(AIndex[1]));
    return index >= 1 && index <= kPromptCount ? kPrompts[index - 1] : nullptr;
}

} // namespace

PinPadModel::Answer PinPadModel::GKY(const SimCommand& ACommand) {
    if (!ACommand.Blocks.empty()) return SimReply("GKY", ST_INVPAR);
    StartWait("GKY", 0);
    return std::nullopt;
}

PinPadModel::Answer PinPadModel::GCD(const SimCommand& ACommand) {
    CommandParams params;
    if (!params.Read(ACommand)) return SimReply("GCD", ST_INVPAR);
    const ByteString* index = params.Find(SPE_MSGIDX);
    if (!index) return SimReply("GCD", ST_MANDAT);
    int minDigits = 1, maxDigits = kMaxGcdDigits, timeout = fProfile.DefaultTimeout;
    if (!params.Byte(SPE_MINDIG, minDigits) || !params.Byte(SPE_MAXDIG, maxDigits) ||
        !params.Byte(SPE_TIMEOUT, timeout))
        return SimReply("GCD", ST_INVPAR);
    const char* prompt = Prompt(*index);
    if (!prompt || maxDigits < 1 || maxDigits > kMaxGcdDigits || minDigits > maxDigits)
        return SimReply("GCD", ST_INVPAR);
    ShowText({}, VirtualDisplay::Mode::Prompt);
    fDisplay.Prompt = prompt;
    fDisplay.MinDigits = minDigits;
    fDisplay.MaxDigits = maxDigits;
    ShowPrompt();
    StartWait("GCD", timeout);
    return std::nullopt;
}

PinPadModel::Answer PinPadModel::MNU(const SimCommand& ACommand) {
    CommandParams params;
    if (!params.Read(ACommand)) return SimReply("MNU", ST_INVPAR);
    int timeout = fProfile.DefaultTimeout;
    if (!params.Byte(SPE_TIMEOUT, timeout)) return SimReply("MNU", ST_INVPAR);
    const auto options = params.All(SPE_MNUOPT);
    if (options.empty()) return SimReply("MNU", ST_MANDAT);
    for (const auto& option : options)
        if (option.empty() || option.size() > kMaxMenuOptionSize) return SimReply("MNU", ST_INVPAR);
    ShowText({}, VirtualDisplay::Mode::Menu);
    if (const ByteString* title = params.Find(SPE_DSPMSG))
        for (const auto& line : MessageRows(*title))
            fDisplay.MenuTitle.push_back(AnsiToText(line));
    for (const auto& option : options)
        fDisplay.MenuOptions.push_back(AnsiToText(option));
    fDisplay.Highlight = 0;
    ShowMenu();
    StartWait("MNU", timeout);
    return std::nullopt;
}

} // namespace kestrel::sim
