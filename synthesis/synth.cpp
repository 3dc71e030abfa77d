// SSBDD synthesis: the model's variables and their order, and one graph per
// variable that is not an input or constant, at macro or gate level.
#include <algorithm>

#include "messages.h"
#include "netlist.h"
#include "parser.h"
#include "paths.h"

void netlist::ag_generate() {
  if (prs.paths || prs.spec) countgates();
  findvars();
  if (prs.spec) SpecGen();
  mkgraphs();
  write_ag();
  if (prs.paths) write_paths(ddnodes);
}

void netlist::findvars() {
  if (!prs.spec) BeginProcessing("Generating SSBDD model");
  std::vector<rida*> rows;
  for (int num : order) {
    rida* r = getrida(num);
    if (r) rows.push_back(r);
  }
  auto take = [&](rida* r) {
    auto& e = rowvars.emplace(r, std::make_pair(-1, -1)).first->second;
    if (e.first < 0) e.first = static_cast<int>(vars.size());
    e.second = static_cast<int>(vars.size());
    vars.push_back(varentry{r, nullptr});
    ++varcount;
  };
  bool gate = prs.gate_level != 0;
  for (rida* r : rows)  // inputs, also those that nothing reads
    if (r->type == T_INPUT && !r->constant) {
      take(r);
      ++inpcons;
      ++inpcount;
    }
  for (rida* r : rows)
    if (r->type == T_INPUT && r->constant && r->fanout > 0) {
      take(r);
      ++inpcons;
    }
  for (rida* r : rows) {
    bool internal;
    if (r->type == T_FLIPFLOP)
      internal = true;
    else if (gate)
      internal = r->fanout > 0 && r->type != T_FROM && !(r->type == T_INPUT && r->fanout == 1);
    else
      internal = r->fanout > 1;
    if (internal) take(r);
  }
  for (rida* r : rows)
    if (r->fanout == 0 && r->type != T_OUTPUT && r->type != T_INPUT && r->type != T_FLIPFLOP) take(r);
  size_t firstout = vars.size();
  for (rida* r : rows)
    if (r->type == T_OUTPUT) {
      take(r);
      ++outcount;
    }
  if (outcount == 0) {
    prs.line = 0;
    prs.fatal(cellname, "Design has no output ports");
  }
  std::stable_sort(vars.begin() + firstout, vars.end(),
                   [](const varentry& a, const varentry& b) { return a.row->name > b.row->name; });
  for (size_t v = firstout; v < vars.size(); ++v) rowvars[vars[v].row] = {static_cast<int>(v), static_cast<int>(v)};
  order.clear();
  orderpos.clear();
}

tipp* netlist::newtipp() {
  tipps.emplace_back();
  return &tipps.back();
}

void netlist::mkgraphs() {
  ddnodes = 0;
  for (unsigned v = inpcons; v < varcount; ++v) {
    grps.push_back(std::make_unique<grp>());
    grps.back()->base = static_cast<int>(ddnodes);
    vars[v].graph = grps.back().get();
    tipp* root = newtipp();
    root->row = vars[v].row;
    if (prs.gate_level) {
      gatelevel(vars[v].row, static_cast<int>(v));
    } else {
      rootcall = 1;
      recu(root, static_cast<int>(v));
    }
  }
  if (!prs.spec) EndProcessing();
}

void netlist::gatelevel(rida* row, int v) {
  if (row->fanin.empty() || row->type == T_FROM) {
    tipp* t = newtipp();
    t->row = row;
    pushnode(t, v);
    return;
  }
  int c = 0, inv = 0;
  switch (row->type) {
    case T_NOT: inv = 1; break;
    case T_AND: c = 1; break;
    case T_NAND: inv = 1; c = 0; break;
    case T_OR: c = 0; break;
    case T_NOR: inv = 1; c = 1; break;
    default: break;
  }
  std::vector<tipp*> chain;
  for (int f : row->fanin) {
    tipp* t = newtipp();
    t->row = getrida(f);
    t->inverted = static_cast<unsigned char>(inv);
    chain.push_back(t);
  }
  for (size_t j = 0; j + 1 < chain.size(); ++j) {
    if (c)
      chain[j]->next1 = chain[j + 1];
    else
      chain[j]->next0 = chain[j + 1];
  }
  for (tipp* t : chain) pushnode(t, v);
}

bool netlist::isnode(const rida& r) const {
  return r.type == T_FROM || r.type == T_INPUT || (r.type == T_FLIPFLOP && !rootcall);
}

// Depth first over the substitutions, with an explicit stack: a fan-out-free
// chain as deep as the circuit must not exhaust the call stack.
void netlist::recu(tipp* root, int v) {
  // Each stacked node carries the last element of its chain (-1: none yet).
  std::vector<std::pair<tipp*, int>> stack{{root, -1}};
  std::vector<tipp*> w;
  std::vector<const rida*> rows;
  bool paths = prs.paths != 0;
  chain.clear();
  while (!stack.empty()) {
    tipp* t = stack.back().first;
    int element = stack.back().second;
    stack.pop_back();
    if (paths) {
      if (isnode(*t->row)) {
        // The record runs from the gate nearest the node to the root.
        rows.clear();
        for (int e = element; e >= 0; e = chain[e].parent) rows.push_back(chain[e].row);
        copy_path(rows);
      } else if (t->row->type != T_OUTPUT) {
        chain.push_back(chain_elem{t->row, element});
        element = static_cast<int>(chain.size()) - 1;
      }
    }
    size_t n = std::max<size_t>(1, t->row->fanin.size());
    w.assign(n, nullptr);
    w[0] = t;
    if (!stacksave(w, v)) continue;
    for (size_t j = n; j-- > 0;) stack.push_back({w[j], element});
  }
}

int netlist::stacksave(std::vector<tipp*>& w, int v) {
  tipp* s = w[0];
  rida* r = s->row;
  if (isnode(*r)) {
    pushnode(s, v);
    return 0;
  }
  rootcall = 0;
  if (r->fanin.empty()) {
    prs.line = 0;
    prs.fatal(r->name, "Line without input");
  }
  size_t n = w.size();
  for (size_t j = 1; j < n; ++j) {
    w[j] = newtipp();
    w[j]->inverted = s->inverted;
    w[j]->row = getrida(r->fanin[j]);
  }
  s->row = getrida(r->fanin[0]);
  int c;
  auto toggle = [&]() {
    s->inverted ^= 1;
    for (size_t j = 1; j < n; ++j) w[j]->inverted = s->inverted;
  };
  switch (r->type) {
    case T_NOT: s->inverted ^= 1; return 1;
    case T_AND: c = s->inverted ? 0 : 1; break;
    case T_OR: c = s->inverted ? 1 : 0; break;
    case T_NAND: {
      int a = s->inverted;
      toggle();
      c = a ? 1 : 0;
      break;
    }
    case T_NOR: {
      int a = s->inverted;
      toggle();
      c = a ? 0 : 1;
      break;
    }
    default: return 1;  // a pin, port or flip-flop passes its one input on
  }
  tipp* oldc = c ? s->next1 : s->next0;
  tipp* oldn = c ? s->next0 : s->next1;
  for (size_t j = 0; j < n; ++j) {
    tipp* nextc = j + 1 < n ? w[j + 1] : oldc;
    if (c) {
      w[j]->next1 = nextc;
      w[j]->next0 = oldn;
    } else {
      w[j]->next0 = nextc;
      w[j]->next1 = oldn;
    }
  }
  return 1;
}

void netlist::pushnode(tipp* t, int v) {
  rida* r = t->row;
  rida* key = r;
  bool first = r->type == T_INPUT && r->fanout > 1;
  if (r->type == T_FROM) key = getrida(r->fanin[0]);
  auto it = rowvars.find(key);
  t->variable = -1;
  if (it != rowvars.end()) t->variable = first ? it->second.first : it->second.second;
  if (t->variable < 0) {
    prs.line = 0;
    prs.fatal(r->name, "No model variable for the line");
  }
  grp* g = vars[v].graph;
  t->index = static_cast<int>(g->nodes.size());
  g->nodes.push_back(t);
  ++ddnodes;
}
