#include "unit_tree.h"

#include <algorithm>

#include "platform/file.h"
#include "platform/source_file.h"
#include "platform/file_error.h"

namespace veskari {
namespace {

std::string ReadHead(File& file, std::uint64_t limit)
{
    std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(limit, TreeNode::kHeadBytes)), '\0');
    head.resize(file.Read(head.data(), head.size()));
    return head;
}

}  // namespace

void TreeRecorder::FileStarted(const FileInfo& file, std::size_t event)
{
    if (file.depth != 0) {
        return;  // a member's decoded bytes: the member's node holds what they bring
    }
    TreeNode& node = nodes_.emplace_back();
    node.kind = TreeNode::Kind::file;
    node.event = event;
    holders_.assign(1, static_cast<int>(nodes_.size() - 1));
}

void TreeRecorder::FileFinished(const FileInfo& file, std::size_t event)
{
    if (file.depth == 0 && !holders_.empty()) {
        // Its size, and whether its analysis was cut short.
        nodes_[static_cast<std::size_t>(holders_.front())].event = event;
    }
}

void TreeRecorder::MemberStarted(const MemberInfo& member, std::size_t event)
{
    const auto depth = static_cast<std::size_t>(std::max(member.depth, 1));
    if (holders_.size() < depth) {
        return;  // no holder was told: nowhere to place it
    }
    holders_.resize(depth);
    TreeNode& node = nodes_.emplace_back();
    node.kind = TreeNode::Kind::member;
    node.parent = holders_.back();
    node.event = event;
    holders_.push_back(static_cast<int>(nodes_.size() - 1));
}

void TreeRecorder::MemberDecoded(const MemberInfo& member, const ByteSource& decoded, std::uint64_t size)
{
    if (holders_.size() != static_cast<std::size_t>(member.depth) + 1) {
        return;
    }
    TreeNode& node = nodes_[static_cast<std::size_t>(holders_.back())];
    node.decodedSize = size;
    try {
        SourceFile input(decoded, member.displayName);
        node.head = ReadHead(*input, size);
    } catch (const FileError&) {
        // The member's own analysis reads these bytes and tells what fails.
    }
}

void TreeRecorder::MemberFinished(const MemberInfo& member, std::size_t event)
{
    if (holders_.size() != static_cast<std::size_t>(member.depth) + 1) {
        return;
    }
    nodes_[static_cast<std::size_t>(holders_.back())].event = event;
    holders_.pop_back();
}

void TreeRecorder::UpdateAccepted(const FileInfo& file, std::size_t event, const output::UpdateRow& row,
                                  std::size_t index)
{
    const auto depth = static_cast<std::size_t>(file.depth);
    if (depth >= holders_.size()) {
        return;
    }
    TreeNode& node = nodes_.emplace_back();
    node.kind = TreeNode::Kind::update;
    node.parent = holders_[depth];
    node.event = event;
    node.rowIndex = index;
    updateSize_ = row.update.header.totalSize;
}

void TreeRecorder::UpdateBytes(File& bytes)
{
    if (nodes_.empty() || nodes_.back().kind != TreeNode::Kind::update) {
        return;
    }
    TreeNode& node = nodes_.back();
    try {
        node.head = ReadHead(bytes, updateSize_);
    } catch (const FileError&) {
        // The hex view stays empty; the checksum's own read tells the error.
    }
}

}  // namespace veskari
