#!/usr/bin/env python3
"""Fails when a text the windows show is not marked for translation, or when a catalogue is not what
lupdate makes of the sources today, or holds a message without its Portuguese.

usage: CheckTranslations.py SOURCE_ROOT LUPDATE

1. Every string literal handed to a call that puts text on screen (setText, setToolTip, addTab, new
   QPushButton, the window's own Button/Group/Labelled... helpers) in app/ and vpinpad/ must sit inside
   tr(), QCoreApplication::translate() or QT_TR_NOOP(). A literal without a letter ("...", " - ") needs
   none. Texts that are data (what the PIN pad is sent) go through no such call.
2. lupdate run on a copy of each catalogue finds no message to add and none to drop.
3. Every message has a finished translation.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

# Calls that put their text arguments on screen. The value is the index of the argument that holds the
# text, or None for every argument (the object name of the window's own helpers comes first).
SINKS = {
    'setText': None, 'setWindowTitle': None, 'setToolTip': None, 'setPlaceholderText': None,
    'setStatusTip': None, 'setWhatsThis': None, 'setTitle': None, 'setSuffix': None, 'setPrefix': None,
    'setTabText': None, 'setItemText': None, 'setHeaderLabels': None, 'addTab': None, 'insertTab': None,
    'addItem': None, 'addItems': None, 'insertItem': None, 'showMessage': None, 'addRow': 0,
    'setApplicationDescription': None, 'QCommandLineOption': 1,
    'information': None, 'question': None, 'warning': None, 'critical': None,
    'getSaveFileName': 1, 'getOpenFileName': 1,
    'QPushButton': 0, 'QLabel': 0, 'QCheckBox': 0, 'QGroupBox': 0, 'QRadioButton': 0, 'QToolButton': 0,
    'QAction': None, 'QFileDialog': 1, 'QMessageBox': None,
    # the windows' own helpers
    'Button': 1, 'GlyphButton': 2, 'TitlePanel': 1, 'ResultPanel': 1, 'Labelled': 0, 'Group': 0,
    'Note': 0, 'fMessageBox': None, 'fQuestionBox': None, 'Make': 1, 'ShowRunning': 2,
}
MARKERS = ('tr', 'translate', 'QT_TR_NOOP', 'QT_TRANSLATE_NOOP')
# Calls inside a shown text whose own arguments are never shown: settings keys, object names.
NOT_SHOWN = ('ReadString', 'ReadInteger', 'ReadBool', 'findText', 'findChild', 'setObjectName', 'property')
LITERAL = re.compile(r'"(?:[^"\\\n]|\\.)*"')


def strip_comments(text):
    """Comments become blanks of the same length, so offsets still give line numbers; strings stay."""
    out, i, n = [], 0, len(text)
    while i < n:
        if text.startswith('//', i):
            j = text.find('\n', i)
            j = n if j < 0 else j
            out.append(' ' * (j - i))
            i = j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:j]))
            i = j
        elif text[i] in '"\'':
            m = re.compile(r'%s(?:[^%s\\\n]|\\.)*%s' % (text[i], text[i], text[i])).match(text, i)
            j = m.end() if m else i + 1
            out.append(text[i:j])
            i = j
        else:
            out.append(text[i])
            i += 1
    return ''.join(out)


def closing(text, open_at):
    """Index of the parenthesis that closes the one at open_at; string literals are skipped."""
    depth, i = 0, open_at
    while i < len(text):
        c = text[i]
        if c == '"':
            m = LITERAL.match(text, i)
            i = m.end() if m else i + 1
            continue
        if c == "'":
            m = re.compile(r"'(?:[^'\\\n]|\\.)*'").match(text, i)
            i = m.end() if m else i + 1
            continue
        if c in '({[':
            depth += 1
        elif c in ')}]':
            depth -= 1
            if depth == 0:
                return i
        i += 1
    return -1


def split_arguments(text):
    """The top-level arguments of an argument list's inside."""
    args, depth, start, i = [], 0, 0, 0
    while i < len(text):
        c = text[i]
        if c == '"':
            m = LITERAL.match(text, i)
            i = m.end() if m else i + 1
            continue
        if c in '({[':
            depth += 1
        elif c in ')}]':
            depth -= 1
        elif c == ',' and depth == 0:
            args.append(text[start:i])
            start = i + 1
        i += 1
    args.append(text[start:])
    return args


def without_marked(text):
    """The text with every tr(...)-like call, and every call whose arguments are not shown, taken out."""
    pattern = re.compile(r'\b(?:QCoreApplication::|QObject::)?(%s)\s*\(' % '|'.join(MARKERS + NOT_SHOWN))
    while True:
        m = pattern.search(text)
        if not m:
            return text
        end = closing(text, m.end() - 1)
        if end < 0:
            return text
        text = text[:m.start()] + text[end + 1:]


def unmarked_literals(path, text=None):
    text = strip_comments(open(path, encoding='utf-8').read() if text is None else text)
    sink = re.compile(r'(?:\bnew\s+)?\b(%s)\s*\(' % '|'.join(SINKS))
    found = []
    for m in sink.finditer(text):
        name = m.group(1)
        if name in ('QPushButton', 'QLabel', 'QCheckBox', 'QGroupBox', 'QRadioButton', 'QToolButton',
                    'QAction', 'QFileDialog', 'QMessageBox') and not m.group(0).startswith('new') and \
                text[max(0, m.start() - 1)] not in '<(,= \n':
            continue
        end = closing(text, m.end() - 1)
        if end < 0:
            continue
        args = split_arguments(text[m.end():end])
        index = SINKS[name]
        chosen = args if index is None else args[index:index + 1]
        for arg in chosen:
            for literal in LITERAL.findall(without_marked(arg)):
                if re.search(r'[A-Za-z]', bytes(literal[1:-1], 'utf-8').decode('unicode_escape', 'ignore')
                             .replace('\\n', '')):
                    line = text.count('\n', 0, m.start()) + 1
                    found.append('%s:%d: %s(...) shows %s without tr()' % (path, line, name, literal))
    return found


def catalogue_messages(path):
    tree = ET.parse(path)
    messages = {}
    for context in tree.getroot().iter('context'):
        name = context.find('name').text
        for message in context.iter('message'):
            translation = message.find('translation')
            messages[(name, message.find('source').text)] = (translation.text, translation.get('type'))
    return messages


def check_catalogue(root, lupdate, catalogue, sources):
    problems = []
    path = os.path.join(root, 'translations', catalogue)
    before = catalogue_messages(path)
    for (context, source), (text, kind) in before.items():
        if kind in ('unfinished', 'vanished', 'obsolete') or not text:
            problems.append('%s: "%s" (%s) has no finished translation' % (catalogue, source, context))
    with tempfile.TemporaryDirectory() as work:
        copy = os.path.join(work, catalogue)
        shutil.copy(path, copy)
        files = [os.path.join(root, s) for s in sources]
        run = subprocess.run([lupdate, '-I', root, '-no-obsolete', '-locations', 'none', *files, '-ts', copy],
                             capture_output=True, text=True, timeout=120)
        if run.returncode != 0:
            problems.append('lupdate failed on %s: %s' % (catalogue, run.stderr))
            return problems
        after = catalogue_messages(copy)
    for key in sorted(set(after) - set(before)):
        problems.append('%s lacks "%s" (%s): run the update_translations target and translate it'
                        % (catalogue, key[1], key[0]))
    for key in sorted(set(before) - set(after)):
        problems.append('%s still holds "%s" (%s), which no source has any more' % (catalogue, key[1], key[0]))
    return problems


# Texts the scanner must flag, and texts it must let pass: a scanner that finds nothing proves nothing.
FLAGGED = [
    'auto* b = new QPushButton(QStringLiteral("Go"));',
    'btX = Button("btX", QStringLiteral("Send"));',
    'label->setText(QStringLiteral("Result: %1").arg(n));',
    'pages->addTab(page, icon,\n    QStringLiteral("Close"));',
    'box->setToolTip("Hint");',
    'fMessageBox(QStringLiteral("Found on ") + port);',
    'group = Group(QLatin1String("Serial Port"), layout);',
]
PASSED = [
    'auto* b = new QPushButton(tr("Go"));',
    'btX = Button("btX", tr("Send"));',
    'label->setText(tr("Result: %1").arg(n));',
    'edit->setText(QString::fromStdString(ini.ReadString("Log", "File", "")));',
    'sb->setText(QStringLiteral("..."));',
    'b->setText(QCoreApplication::translate("Ctx", "Open"));',
    'x->setObjectName(QStringLiteral("btOK"));',
    '// label->setText(QStringLiteral("commented out"));',
    'edit = DisplayEdit("edtDSPMsg1", QStringLiteral("PROJETO VEXO"));',
]


def self_test():
    wrong = [t for t in FLAGGED if not unmarked_literals('snippet', t)]
    wrong += [t for t in PASSED if unmarked_literals('snippet', t)]
    return ['the scanner misjudges: ' + t for t in wrong]


def main():
    root, lupdate = sys.argv[1], sys.argv[2]
    listing = {folder: sorted(f for f in os.listdir(os.path.join(root, folder)) if f.endswith(('.cpp', '.h')))
               for folder in ('app', 'vpinpad')}
    problems = self_test()
    for folder, files in listing.items():
        for name in files:
            problems += unmarked_literals(os.path.join(root, folder, name))
    problems += check_catalogue(root, lupdate, 'kestrel_pt_BR.ts',
                                ['app/' + f for f in listing['app']])
    problems += check_catalogue(root, lupdate, 'kestrel-pinpad_pt_BR.ts',
                                ['vpinpad/' + f for f in listing['vpinpad']] + ['app/Language.cpp'])
    for problem in problems:
        print(problem)
    if not problems:
        print('every shown text in app/ and vpinpad/ is marked; both catalogues are current and complete')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
