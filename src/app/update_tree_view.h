#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "output/extraction.h"

#include "unit_tree.h"

class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace veskari {

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
    /// `allFormats` says.
    void Add(std::vector<TreeNode>&& nodes, bool allFormats = false);
    void Clear();

    [[nodiscard]] QTreeWidget& Tree() noexcept { return *tree_; }
    [[nodiscard]] QPlainTextEdit& Details() noexcept { return *details_; }
    /// The node an item of the tree shows.
    [[nodiscard]] const TreeNode& NodeOf(const QTreeWidgetItem& item) const;
    [[nodiscard]] std::size_t IndexOf(const QTreeWidgetItem& item) const;
    /// The node of the update of a row of the table (rows and update nodes
    /// come from the same events, in the same order).
    [[nodiscard]] std::optional<std::size_t> UpdateNode(std::size_t row) const;

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
    [[nodiscard]] std::optional<ItemSource> SourceOf(std::size_t node) const;

    /// The details of `node` as the pane shows them: its fields, one a
    /// line, then a hex view of its first bytes.
    [[nodiscard]] static QString DetailsText(const TreeNode& node);

private:
    void ShowDetails(QTreeWidgetItem* item);

    QTreeWidget* tree_ = nullptr;
    QPlainTextEdit* details_ = nullptr;
    std::vector<TreeNode> nodes_;  // of every unit since the last Clear
    struct Unit {
        std::size_t first = 0;  // its first node
        bool allFormats = false;
    };
    std::vector<Unit> units_;
    std::vector<std::size_t> updateNodes_;  // in the table's order
};

}  // namespace veskari
