// cIntervalTracker: which byte positions of a chunked message have been
// handled, as a set of closed ranges of unsigned 32-bit positions kept in a
// binary tree of cIntervalNode.
//
// Every range in a node's lower subtree lies below the node's low and every
// range in its higher subtree above its high, so no position is counted
// twice. Adding a range that overlaps or touches a node from below merges
// with it; on the higher side a range that merely touches a child stays a
// separate node. Comparisons never wrap around at 0xFFFFFFFF. The tree is
// not rebalanced: ranges added in ascending order that touch the previous
// one keep extending one node.
#pragma once

#include <cstdint>

#include "medley/export.h"

// Position of a candidate range [lo, hi] against a node [L, H]; touching
// counts as overlapping.
enum node_overlap_t {
  OVERLAP_BELOW = 0,         // hi + 1 < L
  OVERLAP_ABOVE = 1,         // lo > H + 1
  OVERLAP_INSIDE = 2,        // lo >= L and hi <= H
  OVERLAP_EXTENDS_LOW = 3,   // lo < L and hi <= H
  OVERLAP_EXTENDS_HIGH = 4,  // lo >= L and hi > H
  OVERLAP_ENCLOSES = 5,      // lo < L and hi > H
};

class MEDLEY_API cIntervalNode {
 public:
  cIntervalNode(std::uint32_t low, std::uint32_t high);
  // Destroys both subtrees.
  ~cIntervalNode();
  cIntervalNode(const cIntervalNode&) = delete;
  cIntervalNode& operator=(const cIntervalNode&) = delete;

  node_overlap_t Overlap(std::uint32_t lo, std::uint32_t hi) const;
  // Adds [lo, hi] (lo <= hi) to this subtree. False only when a node could
  // not be allocated; the subtree is then unchanged.
  bool Assimilate(std::uint32_t lo, std::uint32_t hi);

  // Positions covered by this subtree, saturating at 0xFFFFFFFF.
  unsigned Count() const;
  unsigned Minimum() const;
  unsigned Maximum() const;
  // Walks the subtree and traces its ranges; no other effect.
  void Debug() const;

  std::uint32_t Low() const { return low_; }
  std::uint32_t High() const { return high_; }
  const cIntervalNode* Lower() const { return lower_; }
  const cIntervalNode* Higher() const { return higher_; }

 private:
  void ExtendLow(std::uint32_t lo);
  void ExtendHigh(std::uint32_t hi);

  std::uint32_t low_;
  std::uint32_t high_;
  cIntervalNode* lower_;
  cIntervalNode* higher_;
};

class MEDLEY_API cIntervalTracker {
 public:
  cIntervalTracker();
  ~cIntervalTracker();
  cIntervalTracker(const cIntervalTracker&) = delete;
  cIntervalTracker& operator=(const cIntervalTracker&) = delete;

  // Records [lo, hi] (lo <= hi; nothing checks it). False when allocation
  // fails; the tracker is then unchanged.
  bool AddRange(std::uint32_t lo, std::uint32_t hi);
  // Positions covered (saturating at 0xFFFFFFFF); 0 when empty.
  unsigned Count() const;
  // Lowest and highest position covered; 0 when empty.
  unsigned Minimum() const;
  unsigned Maximum() const;
  // True when there is exactly one range.
  bool Contiguous() const;
  void Debug() const;

  // The root of the tree, null when empty (for inspection).
  const cIntervalNode* Root() const { return root_; }

 private:
  cIntervalNode* root_;
};
