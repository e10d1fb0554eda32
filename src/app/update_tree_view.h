#pragma once

#include <QWidget>
#include <vector>

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

    /// Adds the tree of one more top-level unit.
    void Add(std::vector<TreeNode>&& nodes);
    void Clear();

    [[nodiscard]] QTreeWidget& Tree() noexcept { return *tree_; }
    [[nodiscard]] QPlainTextEdit& Details() noexcept { return *details_; }
    /// The node an item of the tree shows.
    [[nodiscard]] const TreeNode& NodeOf(const QTreeWidgetItem& item) const;

    /// The details of `node` as the pane shows them: its fields, one a
    /// line, then a hex view of its first bytes.
    [[nodiscard]] static QString DetailsText(const TreeNode& node);

private:
    void ShowDetails(QTreeWidgetItem* item);

    QTreeWidget* tree_ = nullptr;
    QPlainTextEdit* details_ = nullptr;
    std::vector<TreeNode> nodes_;  // of every unit since the last Clear
};

}  // namespace veskari
