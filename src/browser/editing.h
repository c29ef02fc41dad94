// The editing commands on the selected tree node. Attribute changes go into the paths of
// PathList and survive rebuilds; deletions and moves change the tree only and are undone by the
// next rebuild. Each command does nothing without a selected node.
#pragma once

#include <deque>

#include "objecttree.h"
#include "pathunit.h"

namespace aiimport {

// Delete: the selected node and everything below it leave the tree.
bool DeleteSelected(ObjectTree& tree);

// Break Apart: every path under the selected node (not a path node) gets a compound number of
// its own, above every number in PathList (at least 2), in tree order; then the tree is rebuilt
// and nothing is selected. False when there was nothing to do.
bool BreakApart(ObjectTree& tree, std::deque<tpath>& pathList, const TreeFilters& filters);

// Up One Level: the node swaps with its previous sibling; a group or composite without one
// leaves its parent and stands before it. A first path stays.
bool UpOneLevel(ObjectTree& tree);

// Down One Level: the next sibling comes before the node; a group or composite without one takes
// the node after it in tree order in front of it (its own first child when it has children). A
// last path stays.
bool DownOneLevel(ObjectTree& tree);

// Bring to Front and Send to Back: the node becomes the first or the last child of its own
// parent (or the first or last top-level node), keeping everything below it.
bool BringToFront(ObjectTree& tree);
bool SendToBack(ObjectTree& tree);

// The attribute changes of the path buttons, the menu, the colour button and "Toggle List".
enum class PathChange { None, Open, Close, NoFill, SolidFill, Colour, Unflag, Flag };

// Applies the change to the selected node's paths (its own path, or every path below it).
// Unflag and Flag also take the node out of the tree: its paths now belong to the list the tree
// does not show. Returns false without a selected node.
bool ApplyToSelection(ObjectTree& tree, PathChange change, TColor colour);

// The change for "Toggle List": unflag while "Toggle List" is checked, flag otherwise.
inline PathChange ToggleListChange(bool toggleListChecked) {
  return toggleListChecked ? PathChange::Unflag : PathChange::Flag;
}

}  // namespace aiimport
