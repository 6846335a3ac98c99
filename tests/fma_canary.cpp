// A binary with one fused multiply-add beside an ordinary multiplication: the no-FMA check
// must reject it, which shows that its pattern matches what the disassembler prints.

extern "C" void fmaCanary() {
    asm volatile(
        "mulsd %xmm1, %xmm0\n\t"
        "vfmadd231sd %xmm2, %xmm1, %xmm0");
}
