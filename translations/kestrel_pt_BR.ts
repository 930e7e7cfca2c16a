<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR">
<context>
    <name>Kestrel</name>
    <message>
        <source>Kestrel drives a PIN pad that speaks the ABECS protocol command by command, from a window with one page per group of commands, and logs every exchange.

Its settings are kept in kestrel.ini beside the program when that folder can be written, otherwise in $XDG_CONFIG_HOME/kestrel/kestrel.ini (by default ~/.config/kestrel/kestrel.ini); a log file named without a folder is written beside the settings file. The About button names the settings file in use.

Serial and USB-serial ports belong to the dialout group: add yourself to it to use them.</source>
        <translation>O Kestrel comanda um PinPad que fala o protocolo ABECS, comando a comando, a partir de uma janela com uma página por grupo de comandos, e registra no log cada troca de mensagens.

As configurações ficam em kestrel.ini ao lado do programa quando essa pasta aceita gravação; caso contrário, em $XDG_CONFIG_HOME/kestrel/kestrel.ini (por padrão ~/.config/kestrel/kestrel.ini). Um arquivo de log indicado sem pasta é gravado ao lado do arquivo de configurações. O botão Sobre mostra qual arquivo de configurações está em uso.

As portas seriais e USB-serial pertencem ao grupo dialout: entre nesse grupo para usá-las.</translation>
    </message>
    <message>
        <source>kestrel: unexpected argument &apos;%1&apos;; see kestrel --help</source>
        <translation>kestrel: argumento inesperado &apos;%1&apos;; veja kestrel --help</translation>
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
    <name>PictureFileDialog</name>
    <message>
        <source>All Compatible Image Types (*.png *.jpeg *.jpg *.gif *.bmp)</source>
        <translation>Todos os tipos de imagem compatíveis (*.png *.jpeg *.jpg *.gif *.bmp)</translation>
    </message>
    <message>
        <source>PNG Files (*.png) (*.png)</source>
        <translation>Arquivos PNG (*.png) (*.png)</translation>
    </message>
    <message>
        <source>JPEG Files (*.jpeg;*.jpg;*.jpe;*.jfif) (*.jpeg *.jpg)</source>
        <translation>Arquivos JPEG (*.jpeg;*.jpg;*.jpe;*.jfif) (*.jpeg *.jpg)</translation>
    </message>
    <message>
        <source>Graphics Interchange Format Files (*.gif) (*.gif)</source>
        <translation>Arquivos GIF (Graphics Interchange Format) (*.gif) (*.gif)</translation>
    </message>
    <message>
        <source>Bitmap Files (*.bmp) (*.bmp)</source>
        <translation>Arquivos Bitmap (*.bmp) (*.bmp)</translation>
    </message>
    <message>
        <source>Open Image File</source>
        <translation>Abrir arquivo de imagem</translation>
    </message>
</context>
<context>
    <name>kestrel::TfrConfiguraSerial</name>
    <message>
        <source>Porta Serial</source>
        <translation>Porta Serial</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Nenhuma</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Ímpar</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Par</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>Marca</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Espaço</translation>
    </message>
    <message>
        <source>1,5 stop bits need 5 data bits</source>
        <translation>1,5 stop bits exigem 5 data bits</translation>
    </message>
    <message>
        <source>Nenhum</source>
        <translation>Nenhum</translation>
    </message>
    <message>
        <source>HardFlow</source>
        <translation>HardFlow</translation>
    </message>
    <message>
        <source>SoftFlow</source>
        <translation>SoftFlow</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>&amp;Porta Serial</source>
        <translation>&amp;Porta Serial</translation>
    </message>
    <message>
        <source>&amp;Baud rate (Bits por Segundo)</source>
        <translation>&amp;Baud rate (Bits por Segundo)</translation>
    </message>
    <message>
        <source>&amp;Data Bits (Bits de Dados)</source>
        <translation>&amp;Data Bits (Bits de Dados)</translation>
    </message>
    <message>
        <source>&amp;Parity (Paridade)</source>
        <translation>&amp;Parity (Paridade)</translation>
    </message>
    <message>
        <source>&amp;Stop Bits (Bits de Parada)</source>
        <translation>&amp;Stop Bits (Bits de Parada)</translation>
    </message>
    <message>
        <source>&amp;Handshaking (Controle de Fluxo)</source>
        <translation>&amp;Handshaking (Controle de Fluxo)</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>&apos;%1&apos; não é um valor inteiro válido</translation>
    </message>
</context>
<context>
    <name>kestrel::TfrMain</name>
    <message>
        <source>Kestrel %1
Test tool for ABECS PIN pads

Settings file: %2
Log files without a folder go to: %3
Language: %4</source>
        <translation>Kestrel %1
Ferramenta de teste para PinPads ABECS

Arquivo de configurações: %2
Arquivos de log sem pasta vão para: %3
Idioma: %4</translation>
    </message>
    <message>
        <source>Desativar</source>
        <translation>Desativar</translation>
    </message>
    <message>
        <source>Ativar</source>
        <translation>Ativar</translation>
    </message>
    <message>
        <source>STAT: %1</source>
        <translation>STAT: %1</translation>
    </message>
    <message>
        <source>No media files</source>
        <translation>Nenhum arquivo de mídia</translation>
    </message>
    <message>
        <source>%1 media file(s)</source>
        <translation>%1 arquivo(s) de mídia</translation>
    </message>
    <message>
        <source>PinPad not Found</source>
        <translation>PinPad não encontrado</translation>
    </message>
    <message>
        <source>PinPad Found on </source>
        <translation>PinPad encontrado em </translation>
    </message>
    <message>
        <source>Teste ABECS PinPad</source>
        <translation>Teste ABECS PinPad</translation>
    </message>
    <message>
        <source>Config</source>
        <translation>Configuração</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Abertura</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Informações</translation>
    </message>
    <message>
        <source>Display</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>Multimedia</source>
        <translation>Multimídia</translation>
    </message>
    <message>
        <source>Ask / Events</source>
        <translation>Captura / Eventos</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Encerramento</translation>
    </message>
    <message>
        <source>Cancel Operation</source>
        <translation>Cancelar Operação</translation>
    </message>
    <message>
        <source>Clear log</source>
        <translation>Limpar o log</translation>
    </message>
    <message>
        <source>STAT:</source>
        <translation>STAT:</translation>
    </message>
    <message>
        <source>ERROR:</source>
        <translation>ERRO:</translation>
    </message>
    <message>
        <source>Serial settings</source>
        <translation>Parâmetros da porta serial</translation>
    </message>
    <message>
        <source>Search serial ports</source>
        <translation>Procurar portas seriais</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Arquivo</translation>
    </message>
    <message>
        <source>Log.Level</source>
        <translation>Nível do log</translation>
    </message>
    <message>
        <source>Mask card data</source>
        <translation>Mascarar dados do cartão</translation>
    </message>
    <message>
        <source>Card numbers and tracks show in the log with only the first 6 and last 4 digits</source>
        <translation>Números de cartão e trilhas aparecem no log só com os 6 primeiros e os 4 últimos dígitos</translation>
    </message>
    <message>
        <source>WordWrap</source>
        <translation>Quebra de linha</translation>
    </message>
    <message>
        <source>Serial Port</source>
        <translation>Porta Serial</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>Msg Align</source>
        <translation>Alinhamento das mensagens</translation>
    </message>
    <message>
        <source>Save Params</source>
        <translation>Salvar Parâmetros</translation>
    </message>
    <message>
        <source>Read Params</source>
        <translation>Ler Parâmetros</translation>
    </message>
    <message>
        <source>Detect PinPad</source>
        <translation>Detectar PinPad</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Sobre</translation>
    </message>
    <message>
        <source>Open (OPN)</source>
        <translation>Abrir (OPN)</translation>
    </message>
    <message>
        <source>Secure</source>
        <translation>Segura</translation>
    </message>
    <message>
        <source>Generate new Key pair</source>
        <translation>Gerar novo par de chaves</translation>
    </message>
    <message>
        <source>Modulus</source>
        <translation>Módulo</translation>
    </message>
    <message>
        <source>Exponent</source>
        <translation>Expoente</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Todos</translation>
    </message>
    <message>
        <source>GIX</source>
        <translation>GIX</translation>
    </message>
    <message>
        <source>Get Vexo PinPad Capabilities</source>
        <translation>Obter capacidades do PinPad (Vexo)</translation>
    </message>
    <message>
        <source>Vexo PinPad Capabilities</source>
        <translation>Capacidades do PinPad (Vexo)</translation>
    </message>
    <message>
        <source>GIN</source>
        <translation>GIN</translation>
    </message>
    <message>
        <source>ACQIDX</source>
        <translation>ACQIDX</translation>
    </message>
    <message>
        <source>GIN (obsolete)</source>
        <translation>GIN (obsoleto)</translation>
    </message>
    <message>
        <source>Display (DSP)</source>
        <translation>Exibir (DSP)</translation>
    </message>
    <message>
        <source>Clear Display</source>
        <translation>Limpar o display</translation>
    </message>
    <message>
        <source>Linha 1</source>
        <translation>Linha 1</translation>
    </message>
    <message>
        <source>Linha 2</source>
        <translation>Linha 2</translation>
    </message>
    <message>
        <source>DSP</source>
        <translation>DSP</translation>
    </message>
    <message>
        <source>Display (DEX)</source>
        <translation>Exibir (DEX)</translation>
    </message>
    <message>
        <source>Lines</source>
        <translation>Linhas</translation>
    </message>
    <message>
        <source>DEX</source>
        <translation>DEX</translation>
    </message>
    <message>
        <source>Media Files</source>
        <translation>Arquivos de mídia</translation>
    </message>
    <message>
        <source>List (LMF)</source>
        <translation>Listar (LMF)</translation>
    </message>
    <message>
        <source>Display (DSI)</source>
        <translation>Exibir (DSI)</translation>
    </message>
    <message>
        <source>Delete (DMF)</source>
        <translation>Apagar (DMF)</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Imagem</translation>
    </message>
    <message>
        <source>QRCode</source>
        <translation>QR Code</translation>
    </message>
    <message>
        <source>Open a picture file</source>
        <translation>Abrir um arquivo de imagem</translation>
    </message>
    <message>
        <source>Media Load</source>
        <translation>Carregar mídia</translation>
    </message>
    <message>
        <source>Generate QRCode</source>
        <translation>Gerar QR Code</translation>
    </message>
    <message>
        <source>Send to PinPad</source>
        <translation>Enviar ao PinPad</translation>
    </message>
    <message>
        <source>Obsolete. This command does not return numeric keys</source>
        <translation>Obsoleto. Este comando não devolve teclas numéricas</translation>
    </message>
    <message>
        <source>GKY</source>
        <translation>GKY</translation>
    </message>
    <message>
        <source>Result: 0</source>
        <translation>Resultado: 0</translation>
    </message>
    <message>
        <source>RMC</source>
        <translation>RMC</translation>
    </message>
    <message>
        <source>GKY (Get Key)</source>
        <translation>GKY (Captura de tecla)</translation>
    </message>
    <message>
        <source>RMC (ICC removal)</source>
        <translation>RMC (Retirada do cartão com chip)</translation>
    </message>
    <message>
        <source>In order to comply with PCI security requirements, the prompt message
shall be selected among those available in a fixed table defined by ABECS specification</source>
        <translation>Para atender aos requisitos de segurança PCI, a mensagem de captura
deve ser escolhida entre as de uma tabela fixa definida pela especificação ABECS</translation>
    </message>
    <message>
        <source>GCD</source>
        <translation>GCD</translation>
    </message>
    <message>
        <source>Response: </source>
        <translation>Resposta: </translation>
    </message>
    <message>
        <source>Msg Index</source>
        <translation>Índice da mensagem</translation>
    </message>
    <message>
        <source>Timeout</source>
        <translation>Tempo limite</translation>
    </message>
    <message>
        <source>GCD (Capture Text)</source>
        <translation>GCD (Captura de dado)</translation>
    </message>
    <message>
        <source>Hotkey</source>
        <translation>Tecla de atalho</translation>
    </message>
    <message>
        <source>MNU</source>
        <translation>MNU</translation>
    </message>
    <message>
        <source>Menu Title</source>
        <translation>Título do menu</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Opções</translation>
    </message>
    <message>
        <source>MNU (Menu)</source>
        <translation>MNU (Menu)</translation>
    </message>
    <message>
        <source>Verify Key</source>
        <translation>Verificar tecla</translation>
    </message>
    <message>
        <source>Verify Magnetic</source>
        <translation>Verificar tarja magnética</translation>
    </message>
    <message>
        <source>Verify ICC Insertion</source>
        <translation>Verificar inserção do chip</translation>
    </message>
    <message>
        <source>Verify ICC Removal</source>
        <translation>Verificar retirada do chip</translation>
    </message>
    <message>
        <source>Verify CTLS Presence</source>
        <translation>Verificar aproximação (CTLS)</translation>
    </message>
    <message>
        <source>CEX</source>
        <translation>CEX</translation>
    </message>
    <message>
        <source>CEX (Wait for event)</source>
        <translation>CEX (Aguardar evento)</translation>
    </message>
    <message>
        <source>Close (CLO)</source>
        <translation>Encerrar (CLO)</translation>
    </message>
    <message>
        <source>CLO</source>
        <translation>CLO</translation>
    </message>
    <message>
        <source>Media</source>
        <translation>Mídia</translation>
    </message>
    <message>
        <source>Close (CLX)</source>
        <translation>Encerrar (CLX)</translation>
    </message>
    <message>
        <source>CLX</source>
        <translation>CLX</translation>
    </message>
    <message>
        <source>w:%1 x h:%2</source>
        <translation>l:%1 x a:%2</translation>
    </message>
    <message>
        <source>No Media selected</source>
        <translation>Nenhuma mídia selecionada</translation>
    </message>
    <message>
        <source>Delete %1 Media file(s)</source>
        <translation>Apagar %1 arquivo(s) de mídia</translation>
    </message>
    <message>
        <source>- %1 holds a bitmap, which no PIN pad takes: it goes to the PIN pad as PNG, or as JPEG to one that takes no PNG</source>
        <translation>- %1 contém um bitmap, que nenhum PinPad aceita: vai ao PinPad como PNG, ou como JPEG para um que não aceita PNG</translation>
    </message>
    <message>
        <source>- %1 holds a %2 picture: it goes to the PIN pad as %2</source>
        <translation>- %1 contém uma imagem %2: vai ao PinPad como %2</translation>
    </message>
    <message>
        <source>No picture to load: pick a picture file first</source>
        <translation>Nenhuma imagem para carregar: escolha antes um arquivo de imagem</translation>
    </message>
    <message>
        <source>No QR code to send: the QR text is empty</source>
        <translation>Nenhum QR Code para enviar: o texto do QR está vazio</translation>
    </message>
    <message>
        <source>Start Loading </source>
        <translation>Início da carga de </translation>
    </message>
    <message>
        <source>Done Loading %1, %2 seconds</source>
        <translation>Carga de %1 concluída, %2 segundos</translation>
    </message>
    <message>
        <source>No Msg Index selected</source>
        <translation>Nenhum índice de mensagem selecionado</translation>
    </message>
    <message>
        <source>USER TIMEOUT</source>
        <translation>TEMPO ESGOTADO</translation>
    </message>
    <message>
        <source>SELECT ON PINPAD</source>
        <translation>SELECIONE NO PINPAD</translation>
    </message>
    <message>
        <source>* TIMEOUT *</source>
        <translation>* TEMPO ESGOTADO *</translation>
    </message>
    <message>
        <source>Event identification:
“00” = [OK/ENTER] key pressed;
“02” = [?] key pressed;
“03” = [?] key pressed;
“04” = [F1] key pressed;
“05” = [F2] key pressed;
“06” = [F3] key pressed;
“07” = [F4] key pressed;
“08” = [CLEAR] key pressed;
“13” = [CANCEL] key pressed;
“90” = A magnetic card was swiped;
“91” = ICC removed (or already absent);
“92” = ICC inserted (or already present);
“93” = CTLS not detected in 2 (two) minutes;
“94” = CTLS detected.</source>
        <translation>Identificação do evento:
“00” = tecla [OK/ENTRA] pressionada;
“02” = tecla [?] pressionada;
“03” = tecla [?] pressionada;
“04” = tecla [F1] pressionada;
“05” = tecla [F2] pressionada;
“06” = tecla [F3] pressionada;
“07” = tecla [F4] pressionada;
“08” = tecla [LIMPA] pressionada;
“13” = tecla [ANULA] pressionada;
“90” = cartão magnético passado;
“91” = cartão com chip retirado (ou já ausente);
“92” = cartão com chip inserido (ou já presente);
“93” = CTLS não detectado em 2 (dois) minutos;
“94” = CTLS detectado.</translation>
    </message>
    <message>
        <source>As is</source>
        <translation>Como está</translation>
    </message>
    <message>
        <source>Send the picture file&apos;s own bytes: not scaled to the display, not rewritten, no choice between PNG and JPEG</source>
        <translation>Envia os bytes do próprio arquivo de imagem: sem redimensionar para o display, sem regravar, sem escolher entre PNG e JPEG</translation>
    </message>
    <message>
        <source>No PIN pad</source>
        <translation>Sem PinPad</translation>
    </message>
    <message>
        <source>No PIN pad answered on %1 (%2)</source>
        <translation>Nenhum PinPad respondeu em %1 (%2)</translation>
    </message>
    <message>
        <source>Port gone</source>
        <translation>Porta perdida</translation>
    </message>
    <message>
        <source>The PIN pad on %1 is gone (%2). Port closed: connect the PIN pad again, then press &quot;Ativar&quot;.</source>
        <translation>O PinPad em %1 sumiu (%2). Porta fechada: conecte o PinPad de novo e pressione &quot;Ativar&quot;.</translation>
    </message>
    <message>
        <source>%1 %2 character(s) did not fit the display and were not sent: &quot;%3&quot;</source>
        <translation>%1 %2 caractere(s) não couberam no display e não foram enviados: &quot;%3&quot;</translation>
    </message>
    <message>
        <source>%1 GIX ids not understood, so not asked for: %2 (an id is a PP_ name such as PP_SERNUM or SERNUM, or a number such as 0x8001)</source>
        <translation>%1 ids do GIX não reconhecidos, por isso não pedidos: %2 (um id é um nome PP_ como PP_SERNUM ou SERNUM, ou um número como 0x8001)</translation>
    </message>
    <message>
        <source>Command</source>
        <translation>Comando</translation>
    </message>
    <message>
        <source>Wait for the cardholder</source>
        <translation>Aguardar o portador</translation>
    </message>
    <message>
        <source>Identifier</source>
        <translation>Identificador</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Valor</translation>
    </message>
    <message>
        <source>Hexadecimal</source>
        <translation>Hexadecimal</translation>
    </message>
    <message>
        <source>Add item</source>
        <translation>Incluir item</translation>
    </message>
    <message>
        <source>Remove item</source>
        <translation>Remover item</translation>
    </message>
    <message>
        <source>Raw block</source>
        <translation>Bloco bruto</translation>
    </message>
    <message>
        <source>Add block</source>
        <translation>Incluir bloco</translation>
    </message>
    <message>
        <source>Remove block</source>
        <translation>Remover bloco</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Enviar</translation>
    </message>
    <message>
        <source>Copy as kestrel-cli command</source>
        <translation>Copiar como comando do kestrel-cli</translation>
    </message>
    <message>
        <source>Item</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>Response</source>
        <translation>Resposta</translation>
    </message>
    <message>
        <source>Send again</source>
        <translation>Enviar de novo</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Editar</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Histórico</translation>
    </message>
    <message>
        <source>Copied</source>
        <translation>Copiado</translation>
    </message>
    <message>
        <source>The kestrel-cli command is on the clipboard</source>
        <translation>O comando do kestrel-cli está na área de transferência</translation>
    </message>
    <message>
        <source>No command selected in the history</source>
        <translation>Nenhum comando selecionado no histórico</translation>
    </message>
    <message>
        <source>Not in the command table: sent as typed</source>
        <translation>Fora da tabela de comandos: enviado como digitado</translation>
    </message>
    <message>
        <source>%1 (waits for the cardholder)</source>
        <translation>%1 (aguarda o portador)</translation>
    </message>
    <message>
        <source>Block %1</source>
        <translation>Bloco %1</translation>
    </message>
    <message>
        <source>Item %1</source>
        <translation>Item %1</translation>
    </message>
    <message>
        <source>Command name &quot;%1&quot; is not three letters or digits</source>
        <translation>O nome de comando &quot;%1&quot; não tem três letras ou dígitos</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not an SPE_ name (such as SPE_DSPMSG) nor a tag such as 0x001B or 001Bh</source>
        <translation>%1: &quot;%2&quot; não é um nome SPE_ (como SPE_DSPMSG) nem uma tag como 0x001B ou 001Bh</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not hexadecimal in pairs (such as 80 01)</source>
        <translation>%1: &quot;%2&quot; não é hexadecimal em pares (como 80 01)</translation>
    </message>
    <message>
        <source>Not sent</source>
        <translation>Não enviado</translation>
    </message>
</context>
</TS>
