// Writes test fixtures into a fresh temporary folder.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

inline std::string TempDir() {
  char tmpl[] = "/tmp/ssbddtestXXXXXX";
  char* d = mkdtemp(tmpl);
  return d ? std::string(d) : std::string("/tmp");
}

inline std::string WriteFile(const std::string& dir, const std::string& name, const std::string& text) {
  std::string path = dir + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
