<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR">
<context>
    <name>KestrelPinPad</name>
    <message>
        <source>A simulated ABECS PIN pad in a window: its display, keypad and card reader, the frame trace, the media memory and link faults on demand.</source>
        <translation>Um PinPad ABECS simulado numa janela: display, teclado e leitora de cartão, o trace dos frames, a memória de mídias e falhas de comunicação sob demanda.</translation>
    </message>
    <message>
        <source>serve on a new pseudo-terminal (the default)</source>
        <translation>atender num novo pseudoterminal (o padrão)</translation>
    </message>
    <message>
        <source>with a pseudo-terminal: make a symbolic link to it at PATH</source>
        <translation>com pseudoterminal: criar um link simbólico para ele em PATH</translation>
    </message>
    <message>
        <source>serve on TCP at [HOST:]PORT (0: any port)</source>
        <translation>atender por TCP em [HOST:]PORT (0: qualquer porta)</translation>
    </message>
    <message>
        <source>built-in profile (graphic, graphic-gif, text, ...) or file</source>
        <translation>perfil embutido (graphic, graphic-gif, text, ...) ou arquivo</translation>
    </message>
    <message>
        <source>pace the link to N bit/s (0: unpaced)</source>
        <translation>limitar o link a N bit/s (0: sem limite)</translation>
    </message>
    <message>
        <source>open the window without serving</source>
        <translation>abrir a janela sem atender</translation>
    </message>
    <message>
        <source>open at the right edge of the screen, beside a host&apos;s window</source>
        <translation>abrir na borda direita da tela, ao lado da janela da automação</translation>
    </message>
</context>
<context>
    <name>Language</name>
    <message>
        <source>--lang %1: no such language</source>
        <translation>--lang %1: idioma desconhecido</translation>
    </message>
    <message>
        <source>--lang %1: Kestrel has no translation for it; it stays in English</source>
        <translation>--lang %1: o Kestrel não tem tradução para esse idioma; continua em inglês</translation>
    </message>
    <message>
        <source>the window&apos;s language (pt_BR, en); by default the system&apos;s (LANG)</source>
        <translation>o idioma da janela (pt_BR, en); por padrão, o do sistema (LANG)</translation>
    </message>
</context>
<context>
    <name>kestrel::vpinpad::TCardPanel</name>
    <message>
        <source>Card</source>
        <translation>Cartão</translation>
    </message>
    <message>
        <source>Test card</source>
        <translation>Cartão de teste</translation>
    </message>
    <message>
        <source>Tracks below</source>
        <translation>Trilhas abaixo</translation>
    </message>
    <message>
        <source>Unreadable stripe</source>
        <translation>Tarja ilegível</translation>
    </message>
    <message>
        <source>Stripe</source>
        <translation>Tarja</translation>
    </message>
    <message>
        <source>empty: no track %1</source>
        <translation>vazio: sem trilha %1</translation>
    </message>
    <message>
        <source>Track %1</source>
        <translation>Trilha %1</translation>
    </message>
    <message>
        <source>Swipe</source>
        <translation>Passar</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Inserir</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Retirar</translation>
    </message>
    <message>
        <source>Tap</source>
        <translation>Aproximar</translation>
    </message>
    <message>
        <source>A card is in the slot</source>
        <translation>Há um cartão inserido</translation>
    </message>
    <message>
        <source>The slot is empty</source>
        <translation>Nenhum cartão inserido</translation>
    </message>
</context>
<context>
    <name>kestrel::vpinpad::TFaultMenu</name>
    <message>
        <source>Faults</source>
        <translation>Falhas</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Tipo</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Parâmetro</translation>
    </message>
    <message>
        <source> time(s)</source>
        <translation> vez(es)</translation>
    </message>
    <message>
        <source>every time</source>
        <translation>sempre</translation>
    </message>
    <message>
        <source>Applies</source>
        <translation>Aplica-se</translation>
    </message>
    <message>
        <source>next command</source>
        <translation>próximo comando</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Em</translation>
    </message>
    <message>
        <source>Add fault</source>
        <translation>Incluir falha</translation>
    </message>
    <message>
        <source>Clear faults</source>
        <translation>Limpar falhas</translation>
    </message>
    <message>
        <source>A command is named by its three letters (GIX, GKY, ...)</source>
        <translation>Um comando é indicado pelas suas três letras (GIX, GKY, ...)</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>(nenhum)</translation>
    </message>
</context>
<context>
    <name>kestrel::vpinpad::TLinkPanel</name>
    <message>
        <source>Link</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>Pseudo-terminal</source>
        <translation>Pseudoterminal</translation>
    </message>
    <message>
        <source>TCP</source>
        <translation>TCP</translation>
    </message>
    <message>
        <source>link path (optional)</source>
        <translation>caminho do link (opcional)</translation>
    </message>
    <message>
        <source>A symbolic link made to the pseudo-terminal, so the host&apos;s port name stays the same</source>
        <translation>Um link simbólico para o pseudoterminal, para que o nome da porta na automação não mude</translation>
    </message>
    <message>
        <source>[HOST:]PORT to listen on; port 0 picks a free one</source>
        <translation>[HOST:]PORT em que atender; a porta 0 escolhe uma livre</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Iniciar</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Porta</translation>
    </message>
    <message>
        <source>The port name to give the host (Kestrel&apos;s Port box)</source>
        <translation>O nome da porta a informar à automação (campo Porta do Kestrel)</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copiar</translation>
    </message>
    <message>
        <source>Host opens</source>
        <translation>Automação abre</translation>
    </message>
    <message>
        <source>A built-in profile, or the path of a profile file</source>
        <translation>Um perfil embutido, ou o caminho de um arquivo de perfil</translation>
    </message>
    <message>
        <source>%1 bit/s</source>
        <translation>%1 bit/s</translation>
    </message>
    <message>
        <source>unpaced</source>
        <translation>sem limite</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Perfil</translation>
    </message>
    <message>
        <source>Line rate</source>
        <translation>Velocidade da linha</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Parar</translation>
    </message>
    <message>
        <source>Serving at %1</source>
        <translation>Atendendo em %1</translation>
    </message>
    <message>
        <source>Stopped: no host can reach the PIN pad</source>
        <translation>Parado: nenhuma automação alcança o PinPad</translation>
    </message>
</context>
<context>
    <name>kestrel::vpinpad::TMediaPane</name>
    <message>
        <source>Name</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Tamanho</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Tipo</translation>
    </message>
    <message>
        <source>No media files</source>
        <translation>Nenhum arquivo de mídia</translation>
    </message>
    <message>
        <source>%1 media file(s), %2 of %3 bytes used</source>
        <translation>%1 arquivo(s) de mídia, %2 de %3 bytes usados</translation>
    </message>
    <message>
        <source>no picture chosen</source>
        <translation>nenhuma imagem escolhida</translation>
    </message>
    <message>
        <source>%1 x %2 pixels</source>
        <translation>%1 x %2 pixels</translation>
    </message>
    <message>
        <source>cannot show it: %1</source>
        <translation>não é possível exibi-la: %1</translation>
    </message>
</context>
<context>
    <name>kestrel::vpinpad::TPinPadDisplay</name>
    <message>
        <source>%1 is not in the media memory</source>
        <translation>%1 não está na memória de mídias</translation>
    </message>
</context>
<context>
    <name>kestrel::vpinpad::TPinPadKeypad</name>
    <message>
        <source>F1</source>
        <translation>F1</translation>
    </message>
    <message>
        <source>F2</source>
        <translation>F2</translation>
    </message>
    <message>
        <source>F3</source>
        <translation>F3</translation>
    </message>
    <message>
        <source>F4</source>
        <translation>F4</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>ANULA</translation>
    </message>
    <message>
        <source>CLEAR</source>
        <translation>LIMPA</translation>
    </message>
    <message>
        <source>ENTER</source>
        <translation>ENTRA</translation>
    </message>
    <message>
        <source>%1 (keyboard: %2)</source>
        <translation>%1 (teclado: %2)</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>kestrel::vpinpad::TPinPadWindow</name>
    <message>
        <source>Kestrel virtual PIN pad</source>
        <translation>PinPad virtual do Kestrel</translation>
    </message>
    <message>
        <source>KESTREL</source>
        <translation>KESTREL</translation>
    </message>
    <message>
        <source>Trace</source>
        <translation>Trace</translation>
    </message>
    <message>
        <source>Media</source>
        <translation>Mídia</translation>
    </message>
    <message>
        <source>Faults</source>
        <translation>Falhas</translation>
    </message>
    <message>
        <source>Cannot start: %1</source>
        <translation>Não foi possível iniciar: %1</translation>
    </message>
    <message>
        <source>serving at %1</source>
        <translation>atendendo em %1</translation>
    </message>
    <message>
        <source>Cannot load the profile: %1</source>
        <translation>Não foi possível carregar o perfil: %1</translation>
    </message>
    <message>
        <source>at %1</source>
        <translation>em %1</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>parado</translation>
    </message>
    <message>
        <source>session open</source>
        <translation>sessão aberta</translation>
    </message>
    <message>
        <source>no session</source>
        <translation>sem sessão</translation>
    </message>
    <message>
        <source>%1 waits for the cardholder</source>
        <translation>%1 aguarda o portador</translation>
    </message>
</context>
<context>
    <name>kestrel::vpinpad::TScenarioMenu</name>
    <message>
        <source>&amp;Scenario</source>
        <translation>&amp;Cenário</translation>
    </message>
    <message>
        <source>&amp;Load scenario...</source>
        <translation>&amp;Carregar cenário...</translation>
    </message>
    <message>
        <source>&amp;Clear scenario</source>
        <translation>&amp;Limpar cenário</translation>
    </message>
    <message>
        <source>Load scenario</source>
        <translation>Carregar cenário</translation>
    </message>
    <message>
        <source>Scenario files (*.yaml *.yml);;All files (*)</source>
        <translation>Arquivos de cenário (*.yaml *.yml);;Todos os arquivos (*)</translation>
    </message>
    <message>
        <source>Scenario</source>
        <translation>Cenário</translation>
    </message>
    <message>
        <source>The scenario was not loaded; the PIN pad answers as before.

%1</source>
        <translation>O cenário não foi carregado; o PinPad responde como antes.

%1</translation>
    </message>
    <message>
        <source>No scenario</source>
        <translation>Nenhum cenário</translation>
    </message>
    <message>
        <source>Scenario: %1</source>
        <translation>Cenário: %1</translation>
    </message>
    <message>
        <source>Scenario: %1 (%2)</source>
        <translation>Cenário: %1 (%2)</translation>
    </message>
</context>
<context>
    <name>kestrel::vpinpad::TTracePane</name>
    <message>
        <source>show card data</source>
        <translation>mostrar dados do cartão</translation>
    </message>
    <message>
        <source>bytes</source>
        <translation>bytes</translation>
    </message>
    <message>
        <source>Save...</source>
        <translation>Salvar...</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Limpar</translation>
    </message>
    <message>
        <source>Save the trace</source>
        <translation>Salvar o trace</translation>
    </message>
    <message>
        <source>Trace files (*.trace *.txt)</source>
        <translation>Arquivos de trace (*.trace *.txt)</translation>
    </message>
    <message>
        <source>Trace saved to %1</source>
        <translation>Trace salvo em %1</translation>
    </message>
    <message>
        <source>Cannot save the trace to %1: %2</source>
        <translation>Não foi possível salvar o trace em %1: %2</translation>
    </message>
</context>
</TS>
