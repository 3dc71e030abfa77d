// Writers of the synthesis programs: the SSBDD model (structural or general
// form) and the ISCAS'85 netlist or library cell of the flattened design.
#include <cstdio>

#include "messages.h"
#include "netlist.h"
#include "parser.h"

// Every array member marker "_<index> " (the only blanks a name can hold)
// becomes "[<index>]": "c_0 " is shown as "c[0]", "u_1 >Y" as "u[1]>Y".
std::string shown(const std::string& name) {
  std::string out;
  size_t from = 0;
  for (size_t blank = name.find(' '); blank != std::string::npos; blank = name.find(' ', blank + 1)) {
    size_t d = blank;
    while (d > from && name[d - 1] >= '0' && name[d - 1] <= '9') --d;
    if (d == blank || d <= from || name[d - 1] != '_') continue;
    out += name.substr(from, d - 1 - from) + "[" + name.substr(d, blank - d) + "]";
    from = blank + 1;
  }
  return out + name.substr(from);
}

// The model reader takes lines of at most 254 characters and names between
// double quotes: a line it could not read back is refused here.
void netlist::checkline(const std::string& text, const std::string& name) {
  if (text.size() > 255 || name.find('"') != std::string::npos) {
    prs.line = 0;
    prs.fatal(name, "Name too long or not writable in the model file");
  }
}

void netlist::write_ag() {
  FILE* f = out.fp();
  unsigned n = 0;
  for (unsigned k = 0; k < inpcons; ++k)
    if (vars[k].row->constant) ++n;
  bool general = prs.general != 0;
  std::string line;
  auto emit = [&](const std::string& s, const std::string& name) {
    checkline(s, name);
    fputs(s.c_str(), f);
  };
  unsigned graphs = varcount - inpcons;
  if (general)
    fprintf(f, "\nSTAT#    %u Nods,  %u Vars,  %u Grps,  %u Inps,  %u Cons,  %u Outs\n", ddnodes + 2 * graphs,
            varcount + 2, graphs, inpcons - n, n + 2, outcount);
  else
    fprintf(f, "\nSTAT#    %u Nods,  %u Vars,  %u Grps,  %u Inps,  %u Cons,  %u Outs\n", ddnodes, varcount, graphs,
            inpcons - n, n, outcount);
  fputs(general ? "\nMODE#   RTL\n\n\n" : "\nMODE#   STRUCTURAL\n\n\n", f);
  for (unsigned k = 0; k < inpcons - n; ++k) {
    std::string nm = shown(vars[k].row->name);
    emit(Format("VAR#   %u:  (i_______)  \"%s\"\n", k, nm.c_str()), nm);
  }
  for (unsigned k = inpcons - n; k < inpcons; ++k) {
    std::string nm = shown(vars[k].row->name);
    emit(Format("VAR#   %u:  (___c___)  \"%s\" VAL = %c\n", k, nm.c_str(), starts_with(nm, "CONST0") ? '0' : '1'),
         nm);
  }
  if (general)
    fprintf(f, "VAR#   %u:  (___c___)  \"VALUE_0\" VAL = 0\nVAR#   %u:  (___c___)  \"VALUE_1\" VAL = 1\n", inpcons,
            inpcons + 1);
  for (unsigned j = inpcons; j < varcount; ++j) {
    const grp* g = vars[j].graph;
    unsigned gi = j - inpcons;
    unsigned len = static_cast<unsigned>(g->nodes.size());
    std::string nm = shown(vars[j].row->name);
    char o = j >= varcount - outcount ? 'o' : '_';
    char d = vars[j].row->type == T_FLIPFLOP ? 'd' : '_';
    emit(Format("\nVAR#   %u:  (_%c___%c__)  \"%s\"\n", general ? j + 2 : j, o, d, nm.c_str()), nm);
    int base = general ? g->base + 2 * static_cast<int>(gi) : g->base;
    fprintf(f, "GRP#    %u: BEG =   %d, LEN =   %u -----\n", gi, base, general ? len + 2 : len);
    for (unsigned h = 0; h < len; ++h) {
      const tipp* t = g->nodes[h];
      std::string tn = shown(t->row->name);
      if (!general) {
        emit(Format("   %d   %u:  (%c___)\t(\t%d\t%d)  V = %d     \"%s\"\n", base + static_cast<int>(h), h,
                    t->inverted ? 'I' : '_', t->next0 ? t->next0->index : 0, t->next1 ? t->next1->index : 0,
                    t->variable, tn.c_str()),
             tn);
        continue;
      }
      // The inversion folds into the edges; a terminal edge leads to the
      // graph's VALUE_0 or VALUE_1 node.
      const tipp* on0 = t->inverted ? t->next1 : t->next0;
      const tipp* on1 = t->inverted ? t->next0 : t->next1;
      unsigned e0 = on0 ? static_cast<unsigned>(on0->index) : (t->inverted ? len + 1 : len);
      unsigned e1 = on1 ? static_cast<unsigned>(on1->index) : (t->inverted ? len : len + 1);
      int var = t->variable >= static_cast<int>(inpcons) ? t->variable + 2 : t->variable;
      emit(Format("   %d   %u:  (_n__)\t(\t0=>%u\t1=>%u)  V = %d     \"%s\"\n", base + static_cast<int>(h), h, e0, e1,
                  var, tn.c_str()),
           tn);
    }
    if (general) {
      fprintf(f, "   %d   %u:  (____)\t(\t0\t0)  V = %u     \"VALUE_0\"\n", base + static_cast<int>(len), len, inpcons);
      fprintf(f, "   %d   %u:  (____)\t(\t0\t0)  V = %u     \"VALUE_1\"\n", base + static_cast<int>(len) + 1, len + 1,
              inpcons + 1);
    }
  }
}

void netlist::write() {
  FILE* f = out.fp();
  BeginProcessing("Writing to output file");
  if (makros.empty()) prs.fail(15, "");
  node& m = makros.back();
  if (prs.lib_cell) fprintf(f, "\n\"%s\"   %d\n\n", targetname.c_str(), m.rowcount);
  for (int j = 0; j < m.rowcount; ++j) {
    rida& r = *m.rows[j];
    for (char& c : r.name)
      if (c == ' ') c = '_';
    strupr(r.name);
    fprintf(f, "%d %s %s ", j, r.name.c_str(), nammas[r.type]);
    if (!prs.lib_cell && r.type == T_FROM) {
      std::string stem = m.rows[r.fanin[0]]->name;
      for (char& c : stem)
        if (c == ' ') c = '_';
      strupr(stem);
      fprintf(f, "%s\n", stem.c_str());
      continue;
    }
    fprintf(f, "%d %d\n", r.fanout, static_cast<int>(r.fanin.size()));
    if (!r.fanin.empty()) {
      for (int p : r.fanin) fprintf(f, "%d ", p);
      fputs("\n", f);
    }
  }
  fputs("\n", f);
  EndProcessing();
}
