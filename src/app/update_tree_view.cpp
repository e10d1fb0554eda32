#include "update_tree_view.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTreeView>
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
QString OutcomeText(const MemberInfo& member, std::optional<MemberOutcome> outcome)
{
    if (!outcome) {
        return UpdateTreeView::tr("not finished");
    }
    switch (*outcome) {
    case MemberOutcome::analysed:
        return member.container == ContainerFormat::segment ? UpdateTreeView::tr("decoded")
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

bool IsFault(const UpdateTreeModel& model, TreeNodeId id)
{
    const TreeNode& node = model.Node(id);
    switch (node.kind) {
    case TreeNode::Kind::update:
        return !node.row->update.checksumValid;
    case TreeNode::Kind::member: {
        const std::optional<MemberOutcome> outcome = model.OutcomeOf(id);
        return outcome == MemberOutcome::crcMismatch || outcome == MemberOutcome::damaged ||
               outcome == MemberOutcome::notFound;
    }
    case TreeNode::Kind::file:
        break;
    }
    return false;
}

QString ChecksumText(const UpdateRecord& update)
{
    return update.checksumValid ? UpdateTreeView::tr("checksum valid") : UpdateTreeView::tr("checksum invalid");
}

QString CellText(const UpdateTreeModel& model, TreeNodeId id, int column)
{
    const TreeNode& node = model.Node(id);
    switch (node.kind) {
    case TreeNode::Kind::file: {
        const FileInfo& file = model.FileOf(id);
        switch (column) {
        case kName:
            return Visible(file.displayName);
        case kContents:
            return UpdateTreeView::tr("%1 bytes").arg(file.size);
        case kVerdict:
            return !file.opened      ? UpdateTreeView::tr("not read")
                   : file.incomplete ? UpdateTreeView::tr("incomplete")
                                     : QString();
        default:
            return {};
        }
    }
    case TreeNode::Kind::member: {
        const MemberInfo& member = model.MemberOf(id);
        switch (column) {
        case kName:
            return Visible(member.shortName);
        case kContents:
            return UpdateTreeView::tr("%1, %2 to %3 bytes")
                .arg(MethodText(member))
                .arg(CompressedSize(member))
                .arg(DecodedSize(member));
        case kVerdict:
            return OutcomeText(member, model.OutcomeOf(id));
        default:
            return {};
        }
    }
    case TreeNode::Kind::update: {
        const UpdateRecord& update = node.row->update;
        switch (column) {
        case kName:
            return UpdateTreeView::tr("CPUID %1, revision %2")
                .arg(Hex(update.LineSignature()), Hex(update.header.revision, 2));
        case kContents:
            return UpdateTreeView::tr("at %1, %2, %3")
                .arg(Hex(update.offset), QString::fromStdString(update.header.dateText),
                     QString::fromStdString(update.LineProcessor()));
        case kVerdict:
            return ChecksumText(update);
        case kStanding:
            return UpdateTableModel::StandingText(*node.row);
        default:
            return {};
        }
    }
    }
    return {};
}

// Faults stand out in the verdict; the standing colours a whole update row.
QVariant CellColour(const UpdateTreeModel& model, TreeNodeId id, int column)
{
    const TreeNode& node = model.Node(id);
    if (column == kVerdict && IsFault(model, id)) {
        return kFaultColour;
    }
    if (node.kind == TreeNode::Kind::update && node.row->reference != nullptr) {
        return UpdateTableModel::StandingColour(node.row->standing.standing);
    }
    return {};
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

void UpdateTreeModel::Append(std::vector<TreeNode>&& nodes, std::shared_ptr<const EventLog> events,
                             std::span<const output::UpdateRow> rows, bool allFormats)
{
    if (nodes.empty()) {
        return;
    }
    const std::size_t index = units_.size();
    // A holder comes before what it holds; a node that names any other is
    // placed at the top.
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].parent >= 0 && static_cast<std::size_t>(nodes[i].parent) >= i) {
            nodes[i].parent = -1;
        }
    }
    const auto newTops = static_cast<int>(
        std::count_if(nodes.begin(), nodes.end(), [](const TreeNode& node) { return node.parent < 0; }));
    const auto firstTop = static_cast<int>(tops_.size());
    beginInsertRows(QModelIndex(), firstTop, firstTop + newTops - 1);
    Unit& unit = units_.emplace_back();
    unit.nodes = std::move(nodes);
    unit.events = std::move(events);
    unit.allFormats = allFormats;
    unit.rowUnderHolder.resize(unit.nodes.size());
    unit.children.resize(unit.nodes.size());
    for (std::size_t i = 0; i < unit.nodes.size(); ++i) {
        TreeNode& node = unit.nodes[i];
        const TreeNodeId id = NodeId(index, i);
        if (node.parent < 0) {
            unit.rowUnderHolder[i] = static_cast<int>(tops_.size());
            tops_.push_back(id);
        } else {
            std::vector<int>& siblings = unit.children[static_cast<std::size_t>(node.parent)];
            unit.rowUnderHolder[i] = static_cast<int>(siblings.size());
            siblings.push_back(static_cast<int>(i));
        }
        if (node.kind == TreeNode::Kind::update) {
            // Every update has its row; an empty one stands in should one be missing.
            static const output::UpdateRow kNoRow;
            node.row = node.rowIndex < rows.size() ? &rows[node.rowIndex] : &kNoRow;
            updateNodes_.push_back(id);
        }
    }
    endInsertRows();
}

const FileInfo& UpdateTreeModel::FileOf(TreeNodeId id) const
{
    const Unit& unit = units_.at(UnitOf(id));
    return unit.events->FileOf(unit.nodes.at(PlaceOf(id)).event);
}

const MemberInfo& UpdateTreeModel::MemberOf(TreeNodeId id) const
{
    const Unit& unit = units_.at(UnitOf(id));
    return unit.events->MemberOf(unit.nodes.at(PlaceOf(id)).event);
}

std::optional<MemberOutcome> UpdateTreeModel::OutcomeOf(TreeNodeId id) const
{
    const Unit& unit = units_.at(UnitOf(id));
    return unit.events->OutcomeOf(unit.nodes.at(PlaceOf(id)).event);
}

void UpdateTreeModel::Clear()
{
    beginResetModel();
    units_.clear();
    tops_.clear();
    updateNodes_.clear();
    endResetModel();
}

QModelIndex UpdateTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column < 0 || column >= kColumns || (parent.isValid() && parent.column() != 0)) {
        return {};
    }
    if (!parent.isValid()) {
        return static_cast<std::size_t>(row) < tops_.size()
                   ? createIndex(row, column, static_cast<quintptr>(tops_[static_cast<std::size_t>(row)]))
                   : QModelIndex();
    }
    const TreeNodeId holder = NodeOf(parent);
    const std::vector<int>& siblings = units_[UnitOf(holder)].children[PlaceOf(holder)];
    return static_cast<std::size_t>(row) < siblings.size()
               ? createIndex(row, column, static_cast<quintptr>(NodeId(UnitOf(holder), static_cast<std::size_t>(siblings[static_cast<std::size_t>(row)]))))
               : QModelIndex();
}

QModelIndex UpdateTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid()) {
        return {};
    }
    const TreeNodeId id = NodeOf(child);
    const Unit& unit = units_[UnitOf(id)];
    const int holder = unit.nodes[PlaceOf(id)].parent;
    return holder < 0 ? QModelIndex()
                      : createIndex(unit.rowUnderHolder[static_cast<std::size_t>(holder)], 0,
                                    static_cast<quintptr>(NodeId(UnitOf(id), static_cast<std::size_t>(holder))));
}

int UpdateTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid()) {
        return static_cast<int>(tops_.size());
    }
    const TreeNodeId id = NodeOf(parent);
    return parent.column() == 0 ? static_cast<int>(units_[UnitOf(id)].children[PlaceOf(id)].size()) : 0;
}

int UpdateTreeModel::columnCount(const QModelIndex& /*parent*/) const
{
    return kColumns;
}

QVariant UpdateTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) {
        return {};
    }
    const TreeNodeId id = NodeOf(index);
    const TreeNode& node = Node(id);
    switch (role) {
    case Qt::DisplayRole:
        return CellText(*this, id, index.column());
    case Qt::ForegroundRole:
        return CellColour(*this, id, index.column());
    case Qt::FontRole:
        if (index.column() == kVerdict && IsFault(*this, id)) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    case Qt::ToolTipRole:
        if (index.column() == kStanding && node.kind == TreeNode::Kind::update && node.row->reference != nullptr) {
            return UpdateTableModel::StandingWordsText(*node.row);
        }
        return {};
    default:
        return {};
    }
}

QVariant UpdateTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
    case kName:
        return UpdateTreeView::tr("Name");
    case kContents:
        return UpdateTreeView::tr("Contents");
    case kVerdict:
        return UpdateTreeView::tr("Verdict");
    case kStanding:
        return UpdateTreeView::tr("Standing");
    default:
        return {};
    }
}

UpdateTreeView::UpdateTreeView(QWidget* parent) : QWidget(parent)
{
    model_ = new UpdateTreeModel(this);
    tree_ = new QTreeView(this);
    tree_->setModel(model_);
    tree_->setUniformRowHeights(true);  // quick with many thousand rows
    tree_->header()->setSectionResizeMode(QHeaderView::Interactive);
    tree_->setColumnWidth(kName, 270);
    tree_->setColumnWidth(kContents, 290);
    tree_->setColumnWidth(kVerdict, 125);
    details_ = new QPlainTextEdit(this);
    details_->setReadOnly(true);
    details_->setUndoRedoEnabled(false);
    details_->setLineWrapMode(QPlainTextEdit::NoWrap);
    details_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    details_->setAcceptDrops(false);  // drops go to the window
    tree_->setAcceptDrops(false);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex& /*previous*/) { ShowDetails(current); });

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

void UpdateTreeView::Add(std::vector<TreeNode>&& nodes, std::shared_ptr<const EventLog> events,
                         std::span<const output::UpdateRow> rows, bool allFormats)
{
    const int firstTop = model_->rowCount();
    model_->Append(std::move(nodes), std::move(events), rows, allFormats);
    // A file opens on its members and updates; deeper members stay closed.
    for (int row = firstTop; row < model_->rowCount(); ++row) {
        tree_->expand(model_->index(row, 0));
    }
}

void UpdateTreeView::Clear()
{
    model_->Clear();
    details_->clear();
}

std::optional<TreeNodeId> UpdateTreeView::UpdateNode(std::size_t row) const
{
    const std::vector<TreeNodeId>& updates = model_->UpdateNodes();
    if (row >= updates.size()) {
        return std::nullopt;
    }
    return updates[row];
}

std::optional<UpdateTreeView::ItemSource> UpdateTreeView::SourceOf(TreeNodeId id) const
{
    if (UnitOf(id) >= model_->Units().size()) {
        return std::nullopt;
    }
    const UpdateTreeModel::Unit& unit = model_->Units()[UnitOf(id)];
    const std::size_t index = PlaceOf(id);
    if (index >= unit.nodes.size()) {
        return std::nullopt;
    }
    // Which of the unit's members or updates it is, in the order they came.
    const auto count = [&unit](std::size_t end, TreeNode::Kind kind) {
        return static_cast<std::size_t>(std::count_if(unit.nodes.begin(),
                                                      unit.nodes.begin() + static_cast<std::ptrdiff_t>(end),
                                                      [kind](const TreeNode& n) { return n.kind == kind; }));
    };
    ItemSource source;
    source.path = unit.events->FileOf(unit.nodes.front().event).path;
    source.allFormats = unit.allFormats;
    const TreeNode& node = unit.nodes[index];
    switch (node.kind) {
    case TreeNode::Kind::file:
        return std::nullopt;
    case TreeNode::Kind::member:
        if (unit.events->OutcomeOf(node.event) != MemberOutcome::analysed) {
            return std::nullopt;  // no bytes were decoded that could be saved
        }
        source.pick = {output::ExtractionPick::Kind::member, count(index, TreeNode::Kind::member)};
        source.name = output::ExtractionName(unit.events->MemberOf(node.event).displayName);
        return source;
    case TreeNode::Kind::update: {
        // A line of an extended signature is its update's: the bytes and
        // the name are those of the header's own line, in the same file.
        std::size_t own = index;
        for (std::size_t i = 0; i < unit.nodes.size() && node.row->update.extendedIndex >= 0; ++i) {
            const TreeNode& other = unit.nodes[i];
            if (other.kind == TreeNode::Kind::update && other.parent == node.parent &&
                other.row->update.offset == node.row->update.offset && other.row->update.extendedIndex < 0) {
                own = i;
            }
        }
        source.pick = {output::ExtractionPick::Kind::update, count(own, TreeNode::Kind::update)};
        source.name = output::UpdateExtractionName(unit.events->FileOf(node.event).displayName,
                                                   unit.nodes[own].row->update);
        return source;
    }
    }
    return std::nullopt;
}

const TreeNode& UpdateTreeView::NodeOf(const QModelIndex& index) const
{
    return model_->Node(UpdateTreeModel::NodeOf(index));
}

const FileInfo& UpdateTreeView::FileOf(const QModelIndex& index) const
{
    return model_->FileOf(UpdateTreeModel::NodeOf(index));
}

const MemberInfo& UpdateTreeView::MemberOf(const QModelIndex& index) const
{
    return model_->MemberOf(UpdateTreeModel::NodeOf(index));
}

std::optional<TreeNodeId> UpdateTreeView::CurrentNode() const
{
    const QModelIndex current = tree_->currentIndex();
    return current.isValid() ? std::optional(UpdateTreeModel::NodeOf(current)) : std::nullopt;
}

void UpdateTreeView::ShowDetails(const QModelIndex& index)
{
    details_->setPlainText(index.isValid() ? DetailsText(UpdateTreeModel::NodeOf(index)) : QString());
}

QString UpdateTreeView::DetailsText(TreeNodeId id) const
{
    const TreeNode& node = model_->Node(id);
    QStringList lines;
    const auto field = [&lines](const QString& label, const QString& value) {
        lines.push_back(label + QStringLiteral(": ") + value);
    };
    switch (node.kind) {
    case TreeNode::Kind::file: {
        const FileInfo& file = model_->FileOf(id);
        field(tr("File"), Visible(file.path));
        field(tr("Size"), tr("%1 bytes").arg(file.size));
        if (!file.opened) {
            field(tr("Verdict"), tr("not read"));
        } else if (file.incomplete) {
            field(tr("Verdict"), tr("incomplete"));
        }
        break;
    }
    case TreeNode::Kind::member: {
        const MemberInfo& member = model_->MemberOf(id);
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
        field(tr("Verdict"), OutcomeText(member, model_->OutcomeOf(id)));
        break;
    }
    case TreeNode::Kind::update: {
        const UpdateRecord& update = node.row->update;
        const MicrocodeHeaderFields& header = update.header;
        field(tr("Update"), QString::fromStdString(update.line));
        field(tr("Chain"), Chain(model_->FileOf(id).chain));
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
        if (node.row->reference != nullptr) {
            field(tr("Standing"), UpdateTableModel::StandingWordsText(*node.row));
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
