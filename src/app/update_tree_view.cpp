#include "update_tree_view.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "lzh/lzh_header.h"
#include "output/standing_output.h"
#include "platform/visible_text.h"
#include "update_table_model.h"

namespace veskari {
namespace {

enum Column { kName, kContents, kVerdict, kStanding, kColumns };

const QColor kFaultColour(0xC0, 0x00, 0x00);

QString Visible(const std::string& text)
{
    return QString::fromStdString(VisibleText(text));
}

QString Hex(std::uint64_t value, int width = 0)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

QString Chain(const std::vector<std::string>& chain)
{
    QStringList parts;
    for (const std::string& name : chain) {
        parts.push_back(Visible(name));
    }
    return parts.join(QStringLiteral(" / "));
}

QString MethodText(const MemberInfo& member)
{
    if (member.container == ContainerFormat::segment) {
        return UpdateTreeView::tr("segment, type %1").arg(Hex(member.segment.type, 2));
    }
    if (!member.found) {
        return {};
    }
    return member.header.method == kMethodDirectory ? QStringLiteral("-lhd-")
                                                     : QStringLiteral("-lh%1-").arg(member.header.method);
}

std::uint64_t CompressedSize(const MemberInfo& member)
{
    return member.container == ContainerFormat::segment
               ? member.segment.compressedSize
               : static_cast<std::uint64_t>(std::max(member.header.compressedSize, 0));
}

std::uint64_t DecodedSize(const MemberInfo& member)
{
    return member.container == ContainerFormat::segment ? member.segment.decodedSize : member.header.decodedSize;
}

// What became of a member, in words: for LZH members the CRC verdict first.
QString OutcomeText(const TreeNode& node)
{
    if (!node.outcome) {
        return UpdateTreeView::tr("not finished");
    }
    switch (*node.outcome) {
    case MemberOutcome::analysed:
        return node.member.container == ContainerFormat::segment ? UpdateTreeView::tr("decoded")
                                                                 : UpdateTreeView::tr("CRC matches");
    case MemberOutcome::crcMismatch:
        return UpdateTreeView::tr("CRC differs");
    case MemberOutcome::damaged:
        return UpdateTreeView::tr("damaged");
    case MemberOutcome::tooLarge:
        return UpdateTreeView::tr("too large");
    case MemberOutcome::directory:
        return UpdateTreeView::tr("directory");
    case MemberOutcome::notFound:
        return UpdateTreeView::tr("header not found again");
    case MemberOutcome::passedOver:
        return UpdateTreeView::tr("passed over");
    case MemberOutcome::limitReached:
        return UpdateTreeView::tr("limit reached");
    case MemberOutcome::incomplete:
        return UpdateTreeView::tr("incomplete");
    }
    return {};
}

bool IsFault(const TreeNode& node)
{
    switch (node.kind) {
    case TreeNode::Kind::update:
        return !node.row.update.checksumValid;
    case TreeNode::Kind::member:
        return node.outcome == MemberOutcome::crcMismatch || node.outcome == MemberOutcome::damaged ||
               node.outcome == MemberOutcome::notFound;
    case TreeNode::Kind::file:
        break;
    }
    return false;
}

QString ChecksumText(const UpdateRecord& update)
{
    return update.checksumValid ? UpdateTreeView::tr("checksum valid") : UpdateTreeView::tr("checksum invalid");
}

void Fill(QTreeWidgetItem& item, const TreeNode& node)
{
    switch (node.kind) {
    case TreeNode::Kind::file:
        item.setText(kName, Visible(node.file.displayName));
        item.setText(kContents, UpdateTreeView::tr("%1 bytes").arg(node.file.size));
        if (!node.file.opened) {
            item.setText(kVerdict, UpdateTreeView::tr("not read"));
        } else if (node.file.incomplete) {
            item.setText(kVerdict, UpdateTreeView::tr("incomplete"));
        }
        break;
    case TreeNode::Kind::member:
        item.setText(kName, Visible(node.member.shortName));
        item.setText(kContents, UpdateTreeView::tr("%1, %2 to %3 bytes")
                                    .arg(MethodText(node.member))
                                    .arg(CompressedSize(node.member))
                                    .arg(DecodedSize(node.member)));
        item.setText(kVerdict, OutcomeText(node));
        break;
    case TreeNode::Kind::update: {
        const UpdateRecord& update = node.row.update;
        item.setText(kName, UpdateTreeView::tr("CPUID %1, revision %2")
                                .arg(Hex(update.LineSignature()), Hex(update.header.revision, 2)));
        item.setText(kContents, UpdateTreeView::tr("at %1, %2, %3")
                                    .arg(Hex(update.offset), QString::fromStdString(update.header.dateText),
                                         QString::fromStdString(update.LineProcessor())));
        item.setText(kVerdict, ChecksumText(update));
        item.setText(kStanding, UpdateTableModel::StandingText(node.row));
        if (node.row.reference != nullptr) {
            const QVariant colour = UpdateTableModel::StandingColour(node.row.standing.standing);
            for (int column = 0; column < kColumns && colour.isValid(); ++column) {
                item.setForeground(column, colour.value<QColor>());
            }
            item.setToolTip(kStanding, UpdateTableModel::StandingWordsText(node.row));
        }
        break;
    }
    }
    if (IsFault(node)) {
        item.setForeground(kVerdict, kFaultColour);
        QFont font = item.font(kVerdict);
        font.setBold(true);
        item.setFont(kVerdict, font);
    }
}

// Sixteen bytes a line: offset, the bytes in hex, then as ASCII.
QString HexView(const std::string& bytes)
{
    QString text;
    for (std::size_t line = 0; line < bytes.size(); line += 16) {
        QString hex;
        QString ascii;
        for (std::size_t i = line; i < line + 16; ++i) {
            if (i < bytes.size()) {
                const auto byte = static_cast<unsigned char>(bytes[i]);
                hex += QStringLiteral("%1 ").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
                ascii += byte >= 0x20 && byte < 0x7F ? QChar(byte) : QLatin1Char('.');
            } else {
                hex += QStringLiteral("   ");
            }
        }
        text += QStringLiteral("%1  %2 %3\n").arg(line, 8, 16, QLatin1Char('0')).arg(hex, ascii);
    }
    return text;
}

}  // namespace

UpdateTreeView::UpdateTreeView(QWidget* parent) : QWidget(parent)
{
    tree_ = new QTreeWidget(this);
    tree_->setColumnCount(kColumns);
    tree_->setHeaderLabels({tr("Name"), tr("Contents"), tr("Verdict"), tr("Standing")});
    tree_->setUniformRowHeights(true);  // quick with many thousand rows
    tree_->header()->setSectionResizeMode(QHeaderView::Interactive);
    tree_->setColumnWidth(kName, 220);
    tree_->setColumnWidth(kContents, 230);
    tree_->setColumnWidth(kVerdict, 130);
    details_ = new QPlainTextEdit(this);
    details_->setReadOnly(true);
    details_->setUndoRedoEnabled(false);
    details_->setLineWrapMode(QPlainTextEdit::NoWrap);
    details_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    details_->setAcceptDrops(false);  // drops go to the window
    tree_->setAcceptDrops(false);
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem* /*previous*/) { ShowDetails(current); });

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(tree_);
    splitter->addWidget(details_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
}

void UpdateTreeView::Add(std::vector<TreeNode>&& nodes, bool allFormats)
{
    if (nodes.empty()) {
        return;
    }
    const std::size_t base = nodes_.size();
    nodes_.insert(nodes_.end(), std::make_move_iterator(nodes.begin()), std::make_move_iterator(nodes.end()));
    units_.push_back(Unit{base, allFormats});
    for (std::size_t i = base; i < nodes_.size(); ++i) {
        if (nodes_[i].kind == TreeNode::Kind::update) {
            updateNodes_.push_back(i);
        }
    }
    // The unit's items are made below its top-level item before that joins
    // the tree, so that the view lays them out once.
    std::vector<QTreeWidgetItem*> items(nodes_.size() - base, nullptr);
    QList<QTreeWidgetItem*> tops;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const TreeNode& node = nodes_[base + i];
        QTreeWidgetItem* holder =
            node.parent >= 0 && static_cast<std::size_t>(node.parent) < i ? items[static_cast<std::size_t>(node.parent)]
                                                                            : nullptr;
        items[i] = holder != nullptr ? new QTreeWidgetItem(holder) : new QTreeWidgetItem;
        if (holder == nullptr) {
            tops.push_back(items[i]);
        }
        items[i]->setData(kName, Qt::UserRole, QVariant::fromValue(static_cast<qulonglong>(base + i)));
        Fill(*items[i], node);
    }
    tree_->addTopLevelItems(tops);
    // A file opens on its members and updates; deeper members stay closed.
    for (QTreeWidgetItem* top : tops) {
        top->setExpanded(true);
    }
}

void UpdateTreeView::Clear()
{
    tree_->clear();
    details_->clear();
    nodes_.clear();
    units_.clear();
    updateNodes_.clear();
}

std::size_t UpdateTreeView::IndexOf(const QTreeWidgetItem& item) const
{
    return static_cast<std::size_t>(item.data(kName, Qt::UserRole).toULongLong());
}

std::optional<std::size_t> UpdateTreeView::UpdateNode(std::size_t row) const
{
    if (row >= updateNodes_.size()) {
        return std::nullopt;
    }
    return updateNodes_[row];
}

std::optional<UpdateTreeView::ItemSource> UpdateTreeView::SourceOf(std::size_t index) const
{
    if (index >= nodes_.size()) {
        return std::nullopt;
    }
    const auto unit = std::prev(std::upper_bound(units_.begin(), units_.end(), index,
                                                 [](std::size_t i, const Unit& u) { return i < u.first; }));
    const auto count = [this, first = unit->first](std::size_t end, TreeNode::Kind kind) {
        return static_cast<std::size_t>(std::count_if(nodes_.begin() + static_cast<std::ptrdiff_t>(first),
                                                      nodes_.begin() + static_cast<std::ptrdiff_t>(end),
                                                      [kind](const TreeNode& n) { return n.kind == kind; }));
    };
    const std::size_t end = std::next(unit) == units_.end() ? nodes_.size() : std::next(unit)->first;
    ItemSource source;
    source.path = nodes_[unit->first].file.path;
    source.allFormats = unit->allFormats;
    const TreeNode& node = nodes_[index];
    switch (node.kind) {
    case TreeNode::Kind::file:
        return std::nullopt;
    case TreeNode::Kind::member:
        if (node.outcome != MemberOutcome::analysed) {
            return std::nullopt;  // no bytes were decoded that could be saved
        }
        source.pick = {output::ExtractionPick::Kind::member, count(index, TreeNode::Kind::member)};
        source.name = output::ExtractionName(node.member.displayName);
        return source;
    case TreeNode::Kind::update: {
        // A line of an extended signature is its update's: the bytes and
        // the name are those of the header's own line, in the same file.
        std::size_t own = index;
        for (std::size_t i = unit->first; i < end && node.row.update.extendedIndex >= 0; ++i) {
            const TreeNode& other = nodes_[i];
            if (other.kind == TreeNode::Kind::update && other.parent == node.parent &&
                other.row.update.offset == node.row.update.offset && other.row.update.extendedIndex < 0) {
                own = i;
            }
        }
        source.pick = {output::ExtractionPick::Kind::update, count(own, TreeNode::Kind::update)};
        source.name = output::UpdateExtractionName(node.file.displayName, nodes_[own].row.update);
        return source;
    }
    }
    return std::nullopt;
}

const TreeNode& UpdateTreeView::NodeOf(const QTreeWidgetItem& item) const
{
    return nodes_.at(static_cast<std::size_t>(item.data(kName, Qt::UserRole).toULongLong()));
}

void UpdateTreeView::ShowDetails(QTreeWidgetItem* item)
{
    details_->setPlainText(item == nullptr ? QString() : DetailsText(NodeOf(*item)));
}

QString UpdateTreeView::DetailsText(const TreeNode& node)
{
    QStringList lines;
    const auto field = [&lines](const QString& label, const QString& value) {
        lines.push_back(label + QStringLiteral(": ") + value);
    };
    switch (node.kind) {
    case TreeNode::Kind::file:
        field(tr("File"), Visible(node.file.path));
        field(tr("Size"), tr("%1 bytes").arg(node.file.size));
        if (!node.file.opened) {
            field(tr("Verdict"), tr("not read"));
        } else if (node.file.incomplete) {
            field(tr("Verdict"), tr("incomplete"));
        }
        break;
    case TreeNode::Kind::member: {
        const MemberInfo& member = node.member;
        field(tr("Member"), Visible(member.displayName));
        field(tr("Chain"), Chain(member.chain));
        field(tr("Container"), member.container == ContainerFormat::segment ? tr("compressed segment")
                                                                            : tr("LZH archive"));
        field(tr("Header offset in its file"), Hex(member.headerOffset));
        if (member.container == ContainerFormat::segment) {
            field(tr("Segment type"), Hex(member.segment.type, 2));
            field(tr("Load segment"), Hex(member.segment.loadSegment, 4));
        } else if (member.found) {
            field(tr("Name as stored"), Visible(member.rawName));
            field(tr("Method"), MethodText(member));
            field(tr("Header level"), QString::number(member.header.level));
            field(tr("Header size"), QString::number(member.header.headerSize));
            field(tr("CRC-16"), Hex(member.header.crc16, 4));
        }
        field(tr("Compressed size"), tr("%1 bytes").arg(CompressedSize(member)));
        field(tr("Decoded size"), tr("%1 bytes").arg(DecodedSize(member)));
        field(tr("Verdict"), OutcomeText(node));
        break;
    }
    case TreeNode::Kind::update: {
        const UpdateRecord& update = node.row.update;
        const MicrocodeHeaderFields& header = update.header;
        field(tr("Update"), QString::fromStdString(update.line));
        field(tr("Chain"), Chain(node.file.chain));
        field(tr("Offset in its file"), Hex(update.offset));
        field(tr("Format"), header.format == MicrocodeFormat::classic ? tr("classic") : tr("later"));
        field(tr("Header version"), Hex(header.headerVersion, 8));
        field(tr("Revision"), Hex(header.revision, 8));
        field(tr("Date"), Hex(header.date, 8) + QStringLiteral(" (") + QString::fromStdString(header.dateText) +
                              QLatin1Char(')'));
        field(tr("CPUID"), Hex(header.signature, 8));
        field(tr("Checksum"), Hex(header.checksum, 8) + QStringLiteral(" (") + ChecksumText(update) + QLatin1Char(')'));
        field(tr("Loader revision"), Hex(header.loaderRevision, 8));
        field(tr("Platform flags"), Hex(header.platformFlags, 8));
        field(tr("Data size"), tr("%1 bytes").arg(header.dataSize));
        field(tr("Total size"), tr("%1 bytes").arg(header.totalSize));
        field(tr("Package"), QString::fromStdString(header.packageText));
        field(tr("Processor"), QString::fromStdString(header.processorName));
        const auto extended = update.ExtendedSignatures();
        for (std::size_t i = 0; i < extended.size(); ++i) {
            field(tr("Extended signature %1").arg(i + 1),
                  tr("CPUID %1, platform flags %2, checksum %3, %4")
                      .arg(Hex(extended[i].signature, 8), Hex(extended[i].platformFlags, 8),
                           Hex(extended[i].checksum, 8), QString::fromStdString(extended[i].processorName)));
        }
        if (update.extendedIndex >= 0) {
            field(tr("This line"), tr("extended signature %1").arg(update.extendedIndex + 1));
        }
        if (node.row.reference != nullptr) {
            field(tr("Standing"), UpdateTableModel::StandingWordsText(node.row));
        }
        break;
    }
    }
    QString text = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    if (!node.head.empty()) {
        text += QLatin1Char('\n') + tr("First %1 bytes:").arg(node.head.size()) + QLatin1Char('\n') +
                HexView(node.head);
    }
    return text;
}

}  // namespace veskari
