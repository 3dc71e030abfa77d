// The topology of the formula fault simulator: for every internal graph (the
// root) the ordered list of formulas that tell, 32 patterns at a time, which
// graphs of its fan-out cone change when the root's value changes.  Formulas
// are shared between roots, and a sub-cone behind a dominating graph is
// replaced by one AND with a value saved when that graph was the root.
#pragma once
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

enum class FormulaKind : uint8_t { Start, Node, Graph, Prev };

// An array of 32-bit values that keeps its length in front of them: one
// pointer, where a vector takes three, in a formula of which most have none.
template <typename T>
class SizedArray {
  static_assert(sizeof(T) == sizeof(uint32_t), "the length takes one element");

 public:
  SizedArray() = default;
  SizedArray(const SizedArray& other) { *this = other; }
  SizedArray(SizedArray&& other) noexcept : data_(std::move(other.data_)) {}
  SizedArray& operator=(const SizedArray& other) {
    if (this != &other) {
      data_.reset();
      if (!other.empty()) {
        data_.reset(new T[other.size() + 1]);
        std::copy(other.data_.get(), other.data_.get() + other.size() + 1, data_.get());
      }
    }
    return *this;
  }
  SizedArray& operator=(SizedArray&& other) noexcept {
    data_ = std::move(other.data_);
    return *this;
  }

  void assign(size_t n, T value) {
    data_.reset();
    if (n == 0) return;
    data_.reset(new T[n + 1]);
    data_[0] = static_cast<T>(n);
    std::fill(data_.get() + 1, data_.get() + n + 1, value);
  }
  size_t size() const { return data_ ? static_cast<uint32_t>(data_[0]) : 0; }
  bool empty() const { return !data_; }
  T* data() { return data_ ? data_.get() + 1 : nullptr; }
  const T* data() const { return data_ ? data_.get() + 1 : nullptr; }
  T& operator[](size_t i) { return data_[i + 1]; }
  const T& operator[](size_t i) const { return data_[i + 1]; }
  T* begin() { return data(); }
  T* end() { return data() + size(); }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size(); }

 private:
  std::unique_ptr<T[]> data_;
};

struct Formula {
  int member = 0;     // graph whose change mask the formula computes
  int usage = 0;      // step lists using it; for a start formula the kept cone size
  int shared = 0;     // previous results: 0, or 1 + the lowest root below the slice needing it
  int source = -1;    // graph whose change mask the formula ANDs with (-1: none)
  int prevMember = -1;      // member of `prev` (kept when `prev` is freed with its slice)
  uint32_t saved = 0;       // previous results: change saved when the dominating graph was simulated
  int index = 0;            // node formula: its node; previous result: the dominating graph
  uint32_t slot = 0;        // previous results: its place in the block simulator's saved values
  Formula* prev = nullptr;  // previous results: the member's formula at the dominating graph
  Formula* next = nullptr;  // link in `graphs` or `prevs`
  SizedArray<uint32_t> history;  // shared previous results: saved value per word
  SizedArray<int32_t> args;     // graph formula: per node the graph it reads when in the cone, else -1
  FormulaKind kind = FormulaKind::Start;
};

// One entry of a step list: the formula and the last position of the list
// that reads the change mask of its member (0 when none does), so a
// simulation can stop once no change is left to spread.
struct Step {
  Formula* formula;
  uint32_t lastUse;
  int member;  // formula->member, beside the pointer for the searches of the build
};

struct GraphRef {
  uint32_t graph;  // reading graph
  uint32_t node;   // reading node
};

struct RefRange {
  uint32_t first;
  uint32_t count;
};

// Per internal graph its step list: start formula, then the kept cone graphs
// in ascending order (empty when not built).  The closing null entry of the
// list is counted, not stored.
extern std::vector<std::vector<Step>> steps;
extern std::vector<uint32_t> calculations;  // per graph: change mask for the root in hand
extern std::vector<Formula> start;          // per graph its start formula
extern std::vector<Formula> nodes;          // per node its node formula (kind Start until made)
extern std::vector<unsigned char> nodeMade;  // per node: its node formula exists
extern std::vector<Formula*> graphs;        // per graph its graph formulas (list heads)
extern std::vector<Formula*> prevs;         // per graph the previous results kept at it
extern std::vector<GraphRef> refs;
extern std::vector<RefRange> refsGrps;
extern uint32_t historySize;
extern std::vector<uint32_t> estimation;  // per root: estimated bytes (split estimate)
extern bool topologyAllocated;

// What the build of the root in hand found for a graph of its cone.
struct ConeGraph {
  uint32_t stamp = 0xffffffffu;     // the last root whose cone reached it as a reader
  uint32_t dominator = 0;           // 0 none, GrpCount several
  uint32_t single = 0xffffffffu;    // its single reading node in the cone, or none
  uint32_t markCell = 0xffffffffu;  // the cell of its previous result, or none when `mark` is one
  Formula* mark = nullptr;          // the formula it is marked with
  bool removed = false;
  bool marked = false;              // marked (estimate mode has no formula)
};

enum : unsigned {
  BUILD_SLICE = 1,
  BUILD_ESTIMATE = 2,
  BUILD_KEEP_PREV = 4,
  BUILD_NO_PRUNING = 8,
};

// True (the default) collects a root's cone by one upward sweep, which
// needs every reading graph to come after the graph it reads; false, and
// any model where that fails, by a depth-first search and a sort.  Both give
// the same cone.
extern bool coneSweep;

// True (the default) builds the list of a root that only one graph reads
// from that graph's list; false walks its cone like any other root's.  Both
// give the same lists and formulas.
extern bool readerShortcut;

// Number of internal (non-output) graphs: the roots.
uint32_t InternalGraphs();

void alloc_topology();
void free_topology();
void topology_build();
void topology_build_ext(unsigned flags, uint32_t first, uint32_t last, uint32_t history);
void free_topology_slice(uint32_t a);
void back_references_build();
