// Clean-up of a read cell: pins that only pass a signal on, fan-out
// branches, constant sources, hierarchical names and the simulation order.
#include <algorithm>
#include <queue>

#include "messages.h"
#include "netlist.h"
#include "parser.h"

int netlist::resolve(int row) {
  int r = row;
  size_t steps = 0;
  for (auto it = redirect.find(r); it != redirect.end(); it = redirect.find(r)) {
    r = it->second;
    if (++steps > redirect.size()) prs.fail(18, "");
  }
  if (r != row) redirect[row] = r;
  return r;
}

void netlist::postproc() {
  hash.reset();
  if (nodes.empty()) return;
  EndProcessing();
  TextOut("\nConverting...\n");
  if (prs.top_count) prs.line = 0;
  findsames();
  fixnames();
  EndProcessing();
  BeginProcessing("Creating simulation order");
  mkorder();
  if (!prs.top_count) {
    inports2inputs();
    outports2outputs();
    putmakro();
  } else if (prs.iscas85 || prs.iscas89) {
    putmakro();
  }
}

void netlist::findsames() {
  BeginProcessing("Deleting redundant lines");
  auto reproc = [&]() {
    for (node& n : nodes)
      for (auto& r : n.rows)
        if (r)
          for (int& f : r->fanin) f = resolve(f);
  };
  // Input pins: constants, removed pins and kept branches.
  for (size_t ni = portcount; ni < nodes.size(); ++ni) {
    for (int k = 0; k < nodes[ni].rowcount; ++k) {
      rida* r = nodes[ni].rows[k].get();
      if (!r || r->type != T_INPT) continue;
      if (r->fanin.empty()) {
        if (!starts_with(r->name, "CONST")) prs.fail(16, shown(nodes[ni].name + ">" + r->name));
        r->type = T_INPUT;
        r->constant = true;
        r->name += "_" + itoa(constcount++);
        continue;
      }
      int d = resolve(r->fanin[0]);
      rida* drv = getrida(d);
      if (!drv) prs.fail(15, "");
      int merged = drv->fanout + r->fanout - 1;
      drv->fanout = merged;
      if (merged <= 1 || r->fanout != 1) {
        redirect[nodes[ni].first + k] = d;
        nodes[ni].rows[k].reset();
      } else {
        r->type = T_FROM;
      }
    }
  }
  reproc();
  redirect.clear();
  // Buffers: their readers read their source.
  for (size_t ni = portcount; ni < nodes.size(); ++ni) {
    for (int k = 0; k < nodes[ni].rowcount; ++k) {
      rida* r = nodes[ni].rows[k].get();
      if (!r || r->type != T_BUFF) continue;
      int f = resolve(r->fanin[0]);
      rida* src = getrida(f);
      if (!src) prs.fail(15, "");
      src->fanout = r->fanout;
      redirect[nodes[ni].first + k] = f;
      nodes[ni].rows[k].reset();
    }
  }
  reproc();
  redirect.clear();
  // A branch of a branch becomes a branch of the stem.
  std::unordered_map<int, int> refs;
  for (node& n : nodes)
    for (auto& r : n.rows)
      if (r)
        for (int f : r->fanin) ++refs[f];
  size_t total = static_cast<size_t>(rowcount);
  for (size_t ni = portcount; ni < nodes.size(); ++ni) {
    for (int k = 0; k < nodes[ni].rowcount; ++k) {
      rida* r = nodes[ni].rows[k].get();
      if (!r || r->type != T_FROM) continue;
      int s = resolve(r->fanin[0]);
      int sn = -1;
      rida* srow = getrida(s, &sn);
      size_t steps = 0;
      while (srow && srow->type == T_FROM) {
        if (++steps > total || srow == r) prs.fail(18, "");
        int t = resolve(srow->fanin[0]);
        rida* trow = getrida(t);
        if (!trow) prs.fail(15, "");
        trow->fanout += refs[s] - 1;
        refs[t] += refs[s] - 1;
        redirect[s] = t;
        nodes[sn].rows[s - nodes[sn].first].reset();
        s = t;
        srow = getrida(s, &sn);
      }
      r->fanin[0] = s;
    }
  }
  reproc();
  redirect.clear();
}

void netlist::fixnames() {
  EndProcessing();
  BeginProcessing("Generating names");
  for (node& n : nodes) {
    if (n.rowcount <= 1) continue;
    for (auto& r : n.rows)
      if (r && !starts_with(r->name, "CONST")) r->name = n.name + ">" + r->name;
  }
}

void netlist::chkfan(int portnode) {
  rida* port = nodes[portnode].rows[0].get();
  if (port->fanin.empty()) {
    prs.line = 0;
    prs.fatal(nodes[portnode].name, "Output port not driven");
  }
  rida* stem = getrida(port->fanin[0]);
  if (!stem) prs.fail(15, "");
  if (stem->fanout <= 1) return;
  node b;
  b.name = "fan_" + nodes[portnode].name;
  b.rowcount = 1;
  b.first = rowcount++;
  auto r = std::make_unique<rida>();
  r->name = b.name;
  r->type = T_FROM;
  r->fanout = 1;
  r->fanin.push_back(port->fanin[0]);
  port->fanin[0] = b.first;
  b.rows.push_back(std::move(r));
  push(std::move(b));
}

// The order of passes over the rows (each pass takes every row whose inputs
// are known, in node and row order) is computed in one topological sweep:
// a row's pass is fixed by the passes of its inputs and whether they come
// before it in the row order.
void netlist::mkorder() {
  order.clear();
  orderpos.clear();
  size_t start_nodes = nodes.size();
  std::unordered_map<int, char> known;  // row number -> known at start
  for (size_t ni = 0; ni < start_nodes; ++ni) {
    for (int k = 0; k < nodes[ni].rowcount; ++k) {
      rida* r = nodes[ni].rows[k].get();
      if (!r) continue;
      int num = nodes[ni].first + k;
      if (r->type == T_INPUT) {
        known[num] = 1;
        order.push_back(num);
      } else if (r->type == T_OUTPUT && static_cast<int>(ni) < portcount) {
        chkfan(static_cast<int>(ni));
      } else if (r->type == T_FLIPFLOP) {
        known[num] = 1;
      }
    }
  }
  size_t rows = 0;
  for (node& n : nodes)
    for (auto& r : n.rows)
      if (r) ++rows;
  std::vector<int> outs;
  for (int ni = 0; ni < portcount; ++ni)
    if (nodes[ni].rows[0] && nodes[ni].rows[0]->type == T_OUTPUT) outs.push_back(nodes[ni].first);

  // Candidates in visiting order.
  std::vector<int> cand;
  std::unordered_map<int, int> idx;
  for (size_t ni = portcount; ni < nodes.size(); ++ni)
    for (int k = 0; k < nodes[ni].rowcount; ++k) {
      rida* r = nodes[ni].rows[k].get();
      if (!r || r->fanin.empty() || r->type == T_INPUT) continue;
      int num = nodes[ni].first + k;
      idx[num] = static_cast<int>(cand.size());
      cand.push_back(num);
    }
  std::vector<int> pass(cand.size(), 1), indeg(cand.size(), 0);
  std::vector<std::vector<int>> readers(cand.size());
  std::vector<char> bad(cand.size(), 0);
  for (size_t c = 0; c < cand.size(); ++c) {
    for (int f : getrida(cand[c])->fanin) {
      if (known.count(f)) continue;
      auto it = idx.find(f);
      if (it == idx.end()) {
        bad[c] = 1;  // an input that never becomes known
        continue;
      }
      readers[it->second].push_back(static_cast<int>(c));
      ++indeg[c];
    }
  }
  std::queue<int> ready;
  for (size_t c = 0; c < cand.size(); ++c)
    if (indeg[c] == 0 && !bad[c]) ready.push(static_cast<int>(c));
  std::vector<int> done;
  while (!ready.empty()) {
    int c = ready.front();
    ready.pop();
    done.push_back(c);
    for (int r : readers[c]) {
      pass[r] = std::max(pass[r], c < r ? pass[c] : pass[c] + 1);
      if (--indeg[r] == 0 && !bad[r]) ready.push(r);
    }
  }
  if (done.size() != cand.size()) prs.fail(18, "");
  std::sort(done.begin(), done.end(), [&](int a, int b) { return pass[a] != pass[b] ? pass[a] < pass[b] : a < b; });
  for (int c : done) order.push_back(cand[c]);
  if (order.size() + outs.size() != rows) prs.fail(18, "");
  for (int o : outs) order.push_back(o);
  for (size_t p = 0; p < order.size(); ++p) orderpos[order[p]] = static_cast<int>(p);
}

void netlist::inports2inputs() {
  for (int ni = 0; ni < portcount; ++ni)
    if (nodes[ni].rows[0] && nodes[ni].rows[0]->type == T_INPUT) nodes[ni].rows[0]->type = T_INPT;
}

void netlist::outports2outputs() {
  for (int ni = 0; ni < portcount; ++ni)
    if (nodes[ni].rows[0] && nodes[ni].rows[0]->type == T_OUTPUT) nodes[ni].rows[0]->type = T_BUFF;
}

void netlist::putmakro() {
  EndProcessing();
  TextOut("\nCreating netlist: ");
  node m;
  m.name = cellname;
  m.first = 0;
  m.rowcount = static_cast<int>(order.size());
  for (int num : order) {
    auto r = std::make_unique<rida>(*getrida(num));
    for (int& f : r->fanin) {
      auto it = orderpos.find(f);
      if (it == orderpos.end()) prs.fail(15, "");
      f = it->second;
    }
    m.rows.push_back(std::move(r));
  }
  makros.push_back(std::move(m));
  order.clear();
  orderpos.clear();
}
