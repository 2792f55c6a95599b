// The processor's CPUID and time-stamp counter, behind a provider that tests can replace.
#pragma once
#include <cstdint>

namespace host {

struct CpuidResult {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

struct ProcessorProvider {
  bool (*hasCpuid)();                  // whether the CPUID instruction exists (the ID flag can be toggled)
  CpuidResult (*cpuid)(uint32_t leaf);  // sub-leaf 0
  uint64_t (*readTimeStampCounter)();
};

// Null puts back the default: the real CPUID, and the host's time-stamp counter (virtual on the headless host).
void SetProcessorProvider(const ProcessorProvider* provider);

bool ProcessorHasCpuid();
CpuidResult ProcessorCpuid(uint32_t leaf);
uint64_t ProcessorReadTimeStampCounter();

}  // namespace host
