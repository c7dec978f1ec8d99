/* uint32_t tavrel_call_stdcall(const void* fn, const uint32_t* args,
 *                              uint32_t count, int32_t* stackDelta)
 * Pushes the arguments right to left, calls fn, reports how far the stack
 * pointer moved against a callee that pops exactly its arguments, and
 * restores the frame whatever the callee did. */
#if defined(__i386__)
    .text
    .globl _tavrel_call_stdcall
    .def _tavrel_call_stdcall; .scl 2; .type 32; .endef
_tavrel_call_stdcall:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl %esp, %esi
    movl 16(%ebp), %ecx
    movl 12(%ebp), %edx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edx,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    movl %esp, %ecx
    subl %esi, %ecx
    movl 20(%ebp), %edx
    testl %edx, %edx
    jz 3f
    movl %ecx, (%edx)
3:  movl %esi, %esp
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
#endif
