// Calls RaiseException the way the language raise does: code 0x0EEDFADE, non-continuable, seven
// arguments that lie on the stack right behind the call's own four. No compiler places a call's
// arguments so; hence the assembly.
//   extern "C" void CallRaiseWithTrailingArguments(const void* raiseFunction, const ULONG_PTR* values)

#if defined(__x86_64__)
__asm__(R"(
        .text
        .globl  CallRaiseWithTrailingArguments
CallRaiseWithTrailingArguments:
        pushq   %rbp
        movq    %rsp, %rbp
        subq    $96, %rsp
        movq    %rcx, %r10
        xorl    %eax, %eax
1:      movq    (%rdx,%rax,8), %r11
        movq    %r11, 32(%rsp,%rax,8)
        incl    %eax
        cmpl    $7, %eax
        jne     1b
        leaq    32(%rsp), %r9
        movl    $0x0EEDFADE, %ecx
        movl    $1, %edx
        movl    $7, %r8d
        call    *%r10
        leave
        ret
)");
#else
__asm__(R"(
        .text
        .globl  _CallRaiseWithTrailingArguments
_CallRaiseWithTrailingArguments:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %esi
        movl    12(%ebp), %esi
        movl    $6, %ecx
1:      pushl   (%esi,%ecx,4)
        decl    %ecx
        jns     1b
        movl    %esp, %eax
        pushl   %eax
        pushl   $7
        pushl   $1
        pushl   $0x0EEDFADE
        call    *8(%ebp)
        addl    $28, %esp
        popl    %esi
        popl    %ebp
        ret
)");
#endif
