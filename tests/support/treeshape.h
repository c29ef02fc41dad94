// The object tree written out for the tests: R root, G group, C<n> composite of compound n,
// P<i> the node of PathList[i]; children in brackets, top-level nodes separated by blanks.
// "R[G[P0,C7[P1,P2]],P3]" is a root holding a group (with a path and a composite) and a path.
#pragma once

#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "objecttree.h"

namespace aiimport::testing {

// A path of a test file: its group level, compound number and the attributes the tree reads.
struct PathRow {
  int32_t level, compound;
  bool filled = true;
  int points = 2;
  bool flagged = false;
  bool closed = false;
};

// PathList for the rows, each path a move followed by lines.
inline std::deque<tpath> Paths(const std::vector<PathRow>& rows) {
  std::deque<tpath> list;
  for (const PathRow& r : rows) {
    tpath& p = list.emplace_back();
    p.GroupLevel = r.level;
    p.CompoundNo = r.compound;
    p.Filled = r.filled;
    p.Flagged = r.flagged;
    p.Closed = r.closed;
    for (int i = 0; i < r.points; ++i)
      p.Items.push_back({i == 0 ? 0 : 1, float(i), 0});
  }
  return list;
}

inline std::string Shape(const ObjectTree& tree, const std::deque<tpath>& list) {
  std::unordered_map<const tpath*, std::size_t> index;
  for (std::size_t i = 0; i < list.size(); ++i)
    index[&list[i]] = i;
  // The letter and number are appended to a string that holds the letter already: GCC 12
  // warns wrongly (-Wrestrict) about the copy in "C" + std::to_string(...) at -O3.
  auto name = [&index](const TreeNode* n) {
    std::string text(1, '?');
    switch (n->Kind) {
      case NodeKind::Root:
        text[0] = 'R';
        break;
      case NodeKind::Group:
        text[0] = 'G';
        break;
      case NodeKind::Composite:
        text[0] = 'C';
        text += std::to_string(n->Number);
        break;
      case NodeKind::Path:
        text[0] = 'P';
        text += std::to_string(index.at(n->Path));
        break;
    }
    return text;
  };
  // Pre-order with closing brackets, without recursion (trees may be very deep).
  std::string out;
  struct Step {
    const TreeNode* node;
    bool close;
  };
  std::vector<Step> stack;
  for (auto it = tree.TopLevel().rbegin(); it != tree.TopLevel().rend(); ++it)
    stack.push_back({*it, false});
  bool first = true;
  while (!stack.empty()) {
    const Step step = stack.back();
    stack.pop_back();
    if (step.close) {
      out += "]";
      continue;
    }
    const TreeNode* n = step.node;
    if (!first) out += n->Parent ? (n->Row == 0 ? "" : ",") : " ";
    first = false;
    out += name(n);
    if (!n->Children.empty()) {
      out += "[";
      stack.push_back({n, true});
      for (auto it = n->Children.rbegin(); it != n->Children.rend(); ++it)
        stack.push_back({*it, false});
    }
  }
  return out;
}

}  // namespace aiimport::testing
