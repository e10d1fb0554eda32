#pragma once

#include <QAbstractItemModel>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "event_log.h"
#include "output/extraction.h"
#include "unit_tree.h"

class QPlainTextEdit;
class QTreeView;

namespace veskari {

/// A node of the tree: its unit (in the upper 32 bits) and its place among
/// that unit's nodes. A model index carries it whole.
using TreeNodeId = std::uint64_t;
static_assert(sizeof(quintptr) >= sizeof(TreeNodeId));

[[nodiscard]] constexpr TreeNodeId NodeId(std::size_t unit, std::size_t place) noexcept
{
    return static_cast<TreeNodeId>(unit) << 32 | static_cast<std::uint32_t>(place);
}
[[nodiscard]] constexpr std::size_t UnitOf(TreeNodeId id) noexcept { return static_cast<std::size_t>(id >> 32); }
[[nodiscard]] constexpr std::size_t PlaceOf(TreeNodeId id) noexcept { return static_cast<std::size_t>(id & 0xFFFFFFFFU); }

/// The nodes of every unit since the last Clear, as a tree model: each
/// row's texts are made when the view asks for them, and each unit's nodes
/// stay in the vector they came in, so that a folder of thousands of files
/// costs the window's thread a few small vectors, not an item object per
/// member and update nor a copy of every node.
class UpdateTreeModel final : public QAbstractItemModel {
    Q_OBJECT

public:
    using QAbstractItemModel::QAbstractItemModel;

    /// One top-level unit's nodes, as its analysis recorded them.
    struct Unit {
        std::vector<TreeNode> nodes;  ///< each node's parent is an index into it
        std::shared_ptr<const EventLog> events;  ///< the events its nodes name
        bool allFormats = false;      ///< the mode it was analysed in
        std::vector<int> rowUnderHolder;         ///< each node's row under its holder
        std::vector<std::vector<int>> children;  ///< each node's nodes, in the order they came
    };

    /// Adds one unit's nodes, with the events they name, analysed in the
    /// mode that `allFormats` says, with its rows of updates, which must
    /// stay where they are until Clear.
    void Append(std::vector<TreeNode>&& nodes, std::shared_ptr<const EventLog> events,
                std::span<const output::UpdateRow> rows, bool allFormats);
    void Clear();

    [[nodiscard]] const std::vector<Unit>& Units() const noexcept { return units_; }
    [[nodiscard]] const TreeNode& Node(TreeNodeId id) const { return units_.at(UnitOf(id)).nodes.at(PlaceOf(id)); }
    /// What the unit's events say of a node: its file (a file's own, or the
    /// one holding an update), its member and what became of the member.
    [[nodiscard]] const FileInfo& FileOf(TreeNodeId id) const;
    [[nodiscard]] const MemberInfo& MemberOf(TreeNodeId id) const;
    [[nodiscard]] std::optional<MemberOutcome> OutcomeOf(TreeNodeId id) const;
    /// The node of an index of this model.
    [[nodiscard]] static TreeNodeId NodeOf(const QModelIndex& index) noexcept { return index.internalId(); }
    /// The update nodes, in the table's order.
    [[nodiscard]] const std::vector<TreeNodeId>& UpdateNodes() const noexcept { return updateNodes_; }

    [[nodiscard]] QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    [[nodiscard]] QModelIndex parent(const QModelIndex& child) const override;
    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;

private:
    std::vector<Unit> units_;
    std::vector<TreeNodeId> tops_;  // the nodes without a holder: each unit's top-level file
    std::vector<TreeNodeId> updateNodes_;
};

/// Where each update sits: every top-level file, its members nested as
/// they hold each other (with method, sizes and CRC verdict) and the
/// updates of each, made from the analysis events. Selecting a member or
/// an update shows every field of its header, its offset, its checksum
/// verdict, its chain and a hex view of its first bytes. Invalid checksums,
/// damaged members and older updates stand out as in the table.
class UpdateTreeView final : public QWidget {
    Q_OBJECT

public:
    explicit UpdateTreeView(QWidget* parent = nullptr);

    /// Adds the tree of one more top-level unit, analysed in the mode that
    /// `allFormats` says, with its rows of updates as the table keeps them.
    void Add(std::vector<TreeNode>&& nodes, std::shared_ptr<const EventLog> events,
             std::span<const output::UpdateRow> rows, bool allFormats = false);
    void Clear();

    [[nodiscard]] QTreeView& Tree() noexcept { return *tree_; }
    [[nodiscard]] const UpdateTreeModel& Model() const noexcept { return *model_; }
    [[nodiscard]] QPlainTextEdit& Details() noexcept { return *details_; }
    /// The node a row of the tree shows, and its file and member.
    [[nodiscard]] const TreeNode& NodeOf(const QModelIndex& index) const;
    [[nodiscard]] const FileInfo& FileOf(const QModelIndex& index) const;
    [[nodiscard]] const MemberInfo& MemberOf(const QModelIndex& index) const;
    /// The node of the tree's current row, if there is one.
    [[nodiscard]] std::optional<TreeNodeId> CurrentNode() const;
    /// The node of the update of a row of the table (rows and update nodes
    /// come from the same events, in the same order).
    [[nodiscard]] std::optional<TreeNodeId> UpdateNode(std::size_t row) const;

    /// Where a node's item is read again to be taken out alone: its
    /// top-level file, the mode it was analysed in, which of the file's
    /// updates or members it is, and the name `veskari-scan --extract`
    /// gives it. None for a top-level file and a member not decoded.
    struct ItemSource {
        std::string path;
        bool allFormats = false;
        output::ExtractionPick pick;
        std::string name;
    };
    [[nodiscard]] std::optional<ItemSource> SourceOf(TreeNodeId node) const;

    /// The details of `node` as the pane shows them: its fields, one a
    /// line, then a hex view of its first bytes.
    [[nodiscard]] QString DetailsText(TreeNodeId node) const;

private:
    void ShowDetails(const QModelIndex& index);

    UpdateTreeModel* model_ = nullptr;
    QTreeView* tree_ = nullptr;
    QPlainTextEdit* details_ = nullptr;
};

}  // namespace veskari
