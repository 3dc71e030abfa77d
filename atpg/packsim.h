// Word-parallel form of the single-fault simulation that the random and
// genetic generators run on every package or population (fsimul with fault
// dropping on and status update off) and the deterministic generator on its
// new patterns (dropping and update on).  All patterns of a package are
// simulated at once against each fault still missing from the status, 32
// patterns per word, and the result is turned back into the fault-table rows
// and graph columns that the single-fault simulator writes, row by row.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

class PackSimulator {
 public:
  // Prepares the tables of the model in memory; the model must stay as it
  // is while the object lives.  A model whose nodes read delayed variables
  // is left to the single-fault simulator itself.
  PackSimulator();
  ~PackSimulator();
  PackSimulator(const PackSimulator&) = delete;
  PackSimulator& operator=(const PackSimulator&) = delete;

  // What fsimul does with dropping on and update off, over every row of
  // vects: the graph columns take their fault-free values and ftable row r
  // the marks of the faults that row r detects among those that faults does
  // not hold yet.  counts[r] becomes the number of marks of row r, which is
  // its count of new faults (CountNewFaults) against the status as it is.
  void Simulate(std::vector<uint32_t>& counts);

  // What fsimul does with dropping off and update on: the graph columns and
  // every fault-table row as above, for every fault, and each row's marks
  // merged into faults.
  void SimulateAll();

  // The new patterns of the deterministic generator, simulated in batches
  // of up to BatchRows() rows: a model with delayed variables has batches of
  // one row, which SimulateNew hands to the single-fault simulator.
  uint32_t BatchRows() const;
  // What fsimul_one does with dropping and update on for each of the rows
  // first .. first+rows-1 in turn: their graph columns take their fault-free
  // values, and each fault that the status lacks is marked in the fault
  // table row of the first of them that detects it and merged into faults.
  // Without `table` the fault table (which need not have those rows) is left
  // alone; a model with delayed variables always uses it.
  void SimulateNew(uint32_t first, uint32_t rows, bool table = true);
  // The rows among first .. first+rows-1 (at most BatchRows(), of a model
  // without delayed variables) that detect the fault of `node` whose mark
  // is `mark` ('0' stuck-at-0, '1' stuck-at-1 on the node's variable): bit j
  // for row first+j.  The rows' input columns must not change while they
  // are asked about.
  uint32_t Detecting(uint32_t first, uint32_t rows, uint32_t node, char mark);

 private:
  struct Tables;
  std::unique_ptr<Tables> t_;
};
