// cIntervalTracker and cIntervalNode: disjoint closed ranges in an
// unbalanced binary tree. Every walk is iterative, so a degenerate tree
// (ranges added in descending order with gaps) cannot exhaust the stack.
#include "medley/interval_tracker.h"

#include <algorithm>
#include <new>
#include <vector>

#include "platform/trace.h"

cIntervalNode::cIntervalNode(std::uint32_t low, std::uint32_t high)
    : low_(low), high_(high), lower_(nullptr), higher_(nullptr) {}

cIntervalNode::~cIntervalNode() {
  // Rotates each subtree into a chain along the higher links and deletes the
  // chain node by node; every node deleted here has no children left.
  auto destroy = [](cIntervalNode* node) {
    while (node) {
      if (node->lower_) {
        cIntervalNode* lower = node->lower_;
        node->lower_ = lower->higher_;
        lower->higher_ = node;
        node = lower;
      } else {
        cIntervalNode* next = node->higher_;
        node->higher_ = nullptr;
        delete node;
        node = next;
      }
    }
  };
  destroy(lower_);
  destroy(higher_);
}

node_overlap_t cIntervalNode::Overlap(std::uint32_t lo, std::uint32_t hi) const {
  // 64-bit sums: hi + 1 and high + 1 must not wrap at 0xFFFFFFFF.
  if (static_cast<std::uint64_t>(hi) + 1 < low_) return OVERLAP_BELOW;
  if (lo > static_cast<std::uint64_t>(high_) + 1) return OVERLAP_ABOVE;
  if (lo >= low_ && hi <= high_) return OVERLAP_INSIDE;
  if (lo < low_ && hi > high_) return OVERLAP_ENCLOSES;
  if (lo < low_) return OVERLAP_EXTENDS_LOW;
  return OVERLAP_EXTENDS_HIGH;
}

// Moves low down to `lo` (< low) and absorbs every node of the lower subtree
// that now overlaps this one, at any depth; the direct lower child is also
// absorbed when it merely touches `lo`.
void cIntervalNode::ExtendLow(std::uint32_t lo) {
  low_ = lo;
  bool directChild = true;
  cIntervalNode** link = &lower_;
  while (cIntervalNode* node = *link) {
    const bool absorb =
        node->high_ >= low_ || (directChild && static_cast<std::uint64_t>(node->high_) + 1 >= lo);
    directChild = false;
    if (absorb) {
      // Its higher subtree lies between it and this node: covered now.
      low_ = std::min(low_, node->low_);
      *link = node->lower_;
      node->lower_ = nullptr;
      delete node;
    } else {
      link = &node->higher_;
    }
  }
}

// Moves high up to `hi` (> high) and absorbs every node of the higher
// subtree that now overlaps this one, at any depth. A child that merely
// touches `hi` stays a node of its own.
void cIntervalNode::ExtendHigh(std::uint32_t hi) {
  high_ = hi;
  cIntervalNode** link = &higher_;
  while (cIntervalNode* node = *link) {
    if (node->low_ <= high_) {
      // Its lower subtree lies between this node and it: covered now.
      high_ = std::max(high_, node->high_);
      *link = node->higher_;
      node->higher_ = nullptr;
      delete node;
    } else {
      link = &node->lower_;
    }
  }
}

bool cIntervalNode::Assimilate(std::uint32_t lo, std::uint32_t hi) {
  cIntervalNode* node = this;
  for (;;) {
    switch (node->Overlap(lo, hi)) {
      case OVERLAP_INSIDE:
        return true;
      case OVERLAP_EXTENDS_LOW:
        node->ExtendLow(lo);
        return true;
      case OVERLAP_EXTENDS_HIGH:
        node->ExtendHigh(hi);
        return true;
      case OVERLAP_ENCLOSES:
        node->ExtendLow(lo);
        node->ExtendHigh(hi);
        return true;
      case OVERLAP_BELOW:
        if (!node->lower_) {
          node->lower_ = new (std::nothrow) cIntervalNode(lo, hi);
          return node->lower_ != nullptr;
        }
        node = node->lower_;
        break;
      case OVERLAP_ABOVE:
        if (!node->higher_) {
          node->higher_ = new (std::nothrow) cIntervalNode(lo, hi);
          return node->higher_ != nullptr;
        }
        node = node->higher_;
        break;
    }
  }
}

unsigned cIntervalNode::Count() const {
  std::uint64_t total = 0;
  std::vector<const cIntervalNode*> pending{this};
  while (!pending.empty()) {
    const cIntervalNode* node = pending.back();
    pending.pop_back();
    total += static_cast<std::uint64_t>(node->high_) - node->low_ + 1;
    if (node->lower_) pending.push_back(node->lower_);
    if (node->higher_) pending.push_back(node->higher_);
  }
  return static_cast<unsigned>(std::min<std::uint64_t>(total, 0xFFFFFFFFu));
}

unsigned cIntervalNode::Minimum() const {
  const cIntervalNode* node = this;
  while (node->lower_) node = node->lower_;
  return node->low_;
}

unsigned cIntervalNode::Maximum() const {
  const cIntervalNode* node = this;
  while (node->higher_) node = node->higher_;
  return node->high_;
}

void cIntervalNode::Debug() const {
  // In order, lowest range first.
  std::vector<const cIntervalNode*> pending;
  const cIntervalNode* node = this;
  while (node || !pending.empty()) {
    for (; node; node = node->lower_) pending.push_back(node);
    node = pending.back();
    pending.pop_back();
    platform::Trace("cIntervalNode::Debug, [%u, %u]", node->low_, node->high_);
    node = node->higher_;
  }
}

cIntervalTracker::cIntervalTracker() : root_(nullptr) {}

cIntervalTracker::~cIntervalTracker() { delete root_; }

bool cIntervalTracker::AddRange(std::uint32_t lo, std::uint32_t hi) {
  if (root_) return root_->Assimilate(lo, hi);
  root_ = new (std::nothrow) cIntervalNode(lo, hi);
  return root_ != nullptr;
}

unsigned cIntervalTracker::Count() const { return root_ ? root_->Count() : 0; }
unsigned cIntervalTracker::Minimum() const { return root_ ? root_->Minimum() : 0; }
unsigned cIntervalTracker::Maximum() const { return root_ ? root_->Maximum() : 0; }

bool cIntervalTracker::Contiguous() const { return root_ && !root_->Lower() && !root_->Higher(); }

void cIntervalTracker::Debug() const {
  if (!root_) return;
  platform::Trace("cIntervalTracker::Debug, count %u, from %u to %u", Count(), Minimum(),
                  Maximum());
  root_->Debug();
}
