// The Command page: any ABECS command by name, its items and blocks as the operator types them, its
// answer with the items named, and what was sent before. The component builds, sends and decodes.
#include "app/AnyCommandForm.h"
#include "app/PinPadConfig.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsCommandSet.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "trace/ValueText.h"
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <optional>

namespace kestrel {

namespace {

std::string Std(const QString& AText) {
    return AText.toStdString();
}
QString Q(const std::string& AText) {
    return QString::fromStdString(AText);
}

template <class T> T* Named(T* AWidget, const char* AName) {
    AWidget->setObjectName(QString::fromLatin1(AName));
    return AWidget;
}

QPushButton* Button(const char* AName, const QString& ACaption) {
    return Named(new QPushButton(ACaption), AName);
}

// The identifier column completes over every SPE_ name; a tag typed in hexadecimal is taken too.
class TIdentifierDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* AParent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* editor = new QLineEdit(AParent);
        QStringList names;
        for (const uint16_t id : vexo::AllSPEParams())
            names << Q(vexo::SPEParamName(id));
        auto* completer = new QCompleter(names, editor);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setFilterMode(Qt::MatchContains);
        editor->setCompleter(completer);
        return editor;
    }
};

QTableWidget* Table(const char* AName, const QStringList& AHeaders) {
    auto* table = Named(new QTableWidget(0, static_cast<int>(AHeaders.size())), AName);
    table->setHorizontalHeaderLabels(AHeaders);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setDefaultSectionSize(22);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    return table;
}

QTableWidgetItem* HexCell(bool AHex) {
    auto* cell = new QTableWidgetItem;
    cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    cell->setCheckState(AHex ? Qt::Checked : Qt::Unchecked);
    return cell;
}

QString Cell(const QTableWidget* ATable, int ARow, int AColumn) {
    const QTableWidgetItem* cell = ATable->item(ARow, AColumn);
    return cell ? cell->text() : QString();
}

bool Checked(const QTableWidget* ATable, int ARow, int AColumn) {
    const QTableWidgetItem* cell = ATable->item(ARow, AColumn);
    return cell && cell->checkState() == Qt::Checked;
}

void AddItemRow(QTableWidget* ATable, const TAnyFormItem& AItem) {
    const int row = ATable->rowCount();
    ATable->insertRow(row);
    ATable->setItem(row, 0, new QTableWidgetItem(Q(AItem.Id)));
    ATable->setItem(row, 1, new QTableWidgetItem(Q(AItem.Value)));
    ATable->setItem(row, 2, HexCell(AItem.Hex));
}

void AddBlockRow(QTableWidget* ATable, const TAnyFormBlock& ABlock) {
    const int row = ATable->rowCount();
    ATable->insertRow(row);
    ATable->setItem(row, 0, new QTableWidgetItem(Q(ABlock.Data)));
    ATable->setItem(row, 1, HexCell(ABlock.Hex));
}

void RemoveSelectedRow(QTableWidget* ATable) {
    const int row = ATable->currentRow();
    if (row >= 0) ATable->removeRow(row);
}

void ShowAnswer(QTableWidget* ATable, const vexo::TVexoAbecsAnyAnswer& AAnswer, bool AMask) {
    ATable->setRowCount(0);
    for (const auto& answer : AnyAnswerRows(AAnswer, AMask)) {
        const int row = ATable->rowCount();
        ATable->insertRow(row);
        ATable->setItem(row, 0, new QTableWidgetItem(Q(answer.Name)));
        ATable->setItem(row, 1, new QTableWidgetItem(Q(answer.Value)));
    }
}

QWidget* Column(QLayout* ALayout) {
    auto* widget = new QWidget;
    widget->setLayout(ALayout);
    ALayout->setContentsMargins(0, 0, 0, 0);
    return widget;
}

} // namespace

// The row's fault in the operator's language, for the status bar; the log keeps the English message.
std::optional<vexo::TVexoAbecsAnyCommand> TfrMain::CheckedAnyForm(const TAnyCommandForm& AForm) {
    try {
        return BuildAnyForm(AForm);
    } catch (const EAnyFormError& E) {
        AddToLog(QString());
        AddToLog(QStringLiteral("** %1 **").arg(QString::fromLatin1(E.ClassName())));
        AddToLog(QString::fromStdString(E.what()));
        const QString text = Q(E.Text);
        const QString where = E.InBlock ? tr("Block %1").arg(E.Row) : tr("Item %1").arg(E.Row);
        QString message;
        switch (E.Kind) {
        case EAnyFormError::TKind::kName:
            message = tr("Command name \"%1\" is not three letters or digits").arg(text);
            break;
        case EAnyFormError::TKind::kId:
            message =
                tr("%1: \"%2\" is not an SPE_ name (such as SPE_DSPMSG) nor a tag such as 0x001B or 001Bh")
                    .arg(where, text);
            break;
        case EAnyFormError::TKind::kHex:
            message = tr("%1: \"%2\" is not hexadecimal in pairs (such as 80 01)").arg(where, text);
            break;
        }
        ShowStatus(TStatusKind::skError, tr("Not sent"), message);
        return std::nullopt;
    }
}

QWidget* TfrMain::BuildCommandPage() {
    cbxAnyName = Named(new QComboBox, "cbxAnyName");
    cbxAnyName->setEditable(true);
    cbxAnyName->setInsertPolicy(QComboBox::NoInsert);
    cbxAnyName->setMinimumContentsLength(24);
    for (const auto& command : vexo::AllAbecsCommands())
        cbxAnyName->addItem(QStringLiteral("%1  %2").arg(QString::fromLatin1(command.Name),
                                                         QString::fromLatin1(command.Description)));
    cbxAnyName->completer()->setFilterMode(Qt::MatchContains);
    cbxAnyName->setCurrentIndex(-1);
    pAnyDescription = Named(new QLabel, "pAnyDescription");
    pAnyDescription->setWordWrap(true);
    cbAnyBlocking = Named(new QCheckBox(tr("Wait for the cardholder")), "cbAnyBlocking");

    tbAnyItems = Table("tbAnyItems", {tr("Identifier"), tr("Value"), tr("Hexadecimal")});
    tbAnyItems->setItemDelegateForColumn(0, new TIdentifierDelegate(tbAnyItems));
    tbAnyItems->setColumnWidth(0, 130);
    btAnyAddItem = Button("btAnyAddItem", tr("Add item"));
    btAnyRemoveItem = Button("btAnyRemoveItem", tr("Remove item"));
    tbAnyBlocks = Table("tbAnyBlocks", {tr("Raw block"), tr("Hexadecimal")});
    btAnyAddBlock = Button("btAnyAddBlock", tr("Add block"));
    btAnyRemoveBlock = Button("btAnyRemoveBlock", tr("Remove block"));
    btAnySend = Button("btAnySend", tr("Send"));
    btAnyCopy = Button("btAnyCopy", tr("Copy as kestrel-cli command"));

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(tr("Command")));
    nameRow->addWidget(cbxAnyName, 1);
    nameRow->addWidget(cbAnyBlocking);
    auto* itemButtons = new QHBoxLayout;
    itemButtons->addWidget(btAnyAddItem);
    itemButtons->addWidget(btAnyRemoveItem);
    itemButtons->addStretch();
    itemButtons->addWidget(btAnyAddBlock);
    itemButtons->addWidget(btAnyRemoveBlock);
    auto* sendRow = new QHBoxLayout;
    sendRow->addWidget(btAnySend);
    sendRow->addWidget(btAnyCopy);
    sendRow->addStretch();
    auto* edit = new QVBoxLayout;
    edit->addLayout(nameRow);
    edit->addWidget(pAnyDescription);
    auto* tables = new QHBoxLayout;
    tables->addWidget(tbAnyItems, 2);
    tables->addWidget(tbAnyBlocks, 1);
    edit->addLayout(tables, 1);
    tbAnyBlocks->setColumnWidth(0, 110);
    edit->addLayout(itemButtons);
    edit->addLayout(sendRow);

    tbAnyResponse = Table("tbAnyResponse", {tr("Item"), tr("Value")});
    tbAnyResponse->setColumnWidth(0, 110);
    tbAnyResponse->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* response = new QVBoxLayout;
    response->addWidget(new QLabel(tr("Response")));
    response->addWidget(tbAnyResponse);

    lbAnyHistory = Named(new QListWidget, "lbAnyHistory");
    btAnyAgain = Button("btAnyAgain", tr("Send again"));
    btAnyEdit = Button("btAnyEdit", tr("Edit"));
    auto* historyButtons = new QHBoxLayout;
    historyButtons->addWidget(btAnyAgain);
    historyButtons->addWidget(btAnyEdit);
    auto* history = new QVBoxLayout;
    history->addWidget(new QLabel(tr("History")));
    history->addWidget(lbAnyHistory);
    history->addLayout(historyButtons);

    auto* splitter = new QSplitter;
    splitter->addWidget(Column(edit));
    splitter->addWidget(Column(response));
    splitter->addWidget(Column(history));
    // The answer is what the operator came for: it gets as much room as the editing side.
    splitter->setStretchFactor(0, 4);
    splitter->setStretchFactor(1, 4);
    splitter->setStretchFactor(2, 2);
    splitter->setSizes({400, 340, 170});
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(splitter);
    return page;
}

void TfrMain::ConnectCommandPage() {
    const auto on = [this](auto* ASender, auto ASignal, void (TfrMain::*AHandler)()) {
        connect(ASender, ASignal, this,
                [this, AHandler] { Guard([this, AHandler] { (this->*AHandler)(); }); });
    };
    on(btAnySend, &QPushButton::clicked, &TfrMain::btAnySendClick);
    on(btAnyCopy, &QPushButton::clicked, &TfrMain::btAnyCopyClick);
    on(btAnyAgain, &QPushButton::clicked, &TfrMain::btAnyAgainClick);
    on(btAnyEdit, &QPushButton::clicked, &TfrMain::btAnyEditClick);
    on(lbAnyHistory, &QListWidget::itemDoubleClicked, &TfrMain::btAnyEditClick);
    on(btAnyAddItem, &QPushButton::clicked, &TfrMain::btAnyAddItemClick);
    on(btAnyRemoveItem, &QPushButton::clicked, &TfrMain::btAnyRemoveItemClick);
    on(btAnyAddBlock, &QPushButton::clicked, &TfrMain::btAnyAddBlockClick);
    on(btAnyRemoveBlock, &QPushButton::clicked, &TfrMain::btAnyRemoveBlockClick);
    on(cbxAnyName, &QComboBox::currentTextChanged, &TfrMain::cbxAnyNameChange);
}

TAnyCommandForm TfrMain::AnyFormFromPage() const {
    TAnyCommandForm form;
    form.Name = AnyFormName(Std(cbxAnyName->currentText()));
    form.Blocking = cbAnyBlocking->isChecked();
    for (int row = 0; row < tbAnyItems->rowCount(); ++row)
        form.Items.push_back({Std(Cell(tbAnyItems, row, 0).trimmed()), Std(Cell(tbAnyItems, row, 1)),
                              Checked(tbAnyItems, row, 2)});
    for (int row = 0; row < tbAnyBlocks->rowCount(); ++row)
        form.Blocks.push_back({Std(Cell(tbAnyBlocks, row, 0)), Checked(tbAnyBlocks, row, 1)});
    return form;
}

void TfrMain::ShowAnyForm(const TAnyCommandForm& AForm) {
    cbxAnyName->setEditText(Q(AForm.Name));
    cbAnyBlocking->setChecked(AForm.Blocking);
    tbAnyItems->setRowCount(0);
    for (const auto& item : AForm.Items)
        AddItemRow(tbAnyItems, item);
    tbAnyBlocks->setRowCount(0);
    for (const auto& block : AForm.Blocks)
        AddBlockRow(tbAnyBlocks, block);
}

void TfrMain::SendAnyForm(const TAnyCommandForm& AForm) {
    // A malformed row raises here, before the history or the link hear of it.
    const auto checked = CheckedAnyForm(AForm);
    if (!checked) return;
    const vexo::TVexoAbecsAnyCommand& command = *checked;
    fAnyPage->History.push_back(AForm);
    const bool mask = cbLogMaskCardData->isChecked();
    lbAnyHistory->addItem(
        Q(mask ? trace::MaskLooseBytes(AnyFormSummary(AForm), false) : AnyFormSummary(AForm)));
    lbAnyHistory->setCurrentRow(lbAnyHistory->count() - 1);
    tbAnyResponse->setRowCount(0);
    try {
        ShowAnswer(tbAnyResponse, VexoAbecsPinPad1->ExecAny(command), mask);
    } catch (const vexo::EVexoAbecsPinPadError&) {
        // A return code other than 0 still came with its items; a failed link left no response.
        if (!VexoAbecsPinPad1->Response().ID().empty())
            ShowAnswer(tbAnyResponse, VexoAbecsPinPad1->LastAnswer(), mask);
        throw;
    }
}

void TfrMain::btAnySendClick() {
    SendAnyForm(AnyFormFromPage());
}

void TfrMain::btAnyCopyClick() {
    const TAnyCommandForm form = AnyFormFromPage();
    if (!CheckedAnyForm(form)) return;
    QApplication::clipboard()->setText(Q(CliSendLine(form, Std(cbxPort->currentText().trimmed()))));
    ShowStatus(TStatusKind::skOk, tr("Copied"), tr("The kestrel-cli command is on the clipboard"));
}

void TfrMain::btAnyAgainClick() {
    const int row = lbAnyHistory->currentRow();
    if (row < 0) throw vexo::Exception(tr("No command selected in the history").toStdString());
    const TAnyCommandForm form = fAnyPage->History.at(static_cast<size_t>(row));
    ShowAnyForm(form);
    SendAnyForm(form);
}

void TfrMain::btAnyEditClick() {
    const int row = lbAnyHistory->currentRow();
    if (row < 0) throw vexo::Exception(tr("No command selected in the history").toStdString());
    ShowAnyForm(fAnyPage->History.at(static_cast<size_t>(row)));
}

void TfrMain::btAnyAddItemClick() {
    AddItemRow(tbAnyItems, {});
    tbAnyItems->setCurrentCell(tbAnyItems->rowCount() - 1, 0);
}

void TfrMain::btAnyRemoveItemClick() {
    RemoveSelectedRow(tbAnyItems);
}

void TfrMain::btAnyAddBlockClick() {
    AddBlockRow(tbAnyBlocks, {});
    tbAnyBlocks->setCurrentCell(tbAnyBlocks->rowCount() - 1, 0);
}

void TfrMain::btAnyRemoveBlockClick() {
    RemoveSelectedRow(tbAnyBlocks);
}

void TfrMain::cbxAnyNameChange() {
    const auto* info = vexo::FindAbecsCommand(AnyFormName(Std(cbxAnyName->currentText())));
    if (!info) {
        pAnyDescription->setText(tr("Not in the command table: sent as typed"));
        return;
    }
    pAnyDescription->setText(
        info->Blocking ? tr("%1 (waits for the cardholder)").arg(QString::fromLatin1(info->Description))
                       : QString::fromLatin1(info->Description));
}

} // namespace kestrel
