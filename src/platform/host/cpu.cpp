#include "platform/host/cpu.h"

#include <cpuid.h>
#include <x86intrin.h>

#include "platform/host/platform.h"
#include "platform/host/platform_state.h"

namespace host {
namespace {

bool RealHasCpuid() { return true; }  // every x86-64 processor has it

CpuidResult RealCpuid(uint32_t leaf) {
  CpuidResult r;
  __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
  return r;
}

uint64_t HostTimeStampCounter() { return Current().TimeStampCounter(); }

const ProcessorProvider kDefault = {&RealHasCpuid, &RealCpuid, &HostTimeStampCounter};

const ProcessorProvider& Provider() {
  const ProcessorProvider* p = State().processor;
  return p ? *p : kDefault;
}

}  // namespace

void SetProcessorProvider(const ProcessorProvider* p) { State().processor = p; }

bool ProcessorHasCpuid() { return Provider().hasCpuid(); }
CpuidResult ProcessorCpuid(uint32_t leaf) { return Provider().cpuid(leaf); }
uint64_t ProcessorReadTimeStampCounter() { return Provider().readTimeStampCounter(); }

}  // namespace host
