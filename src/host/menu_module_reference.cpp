// The context menu's reference to the module, and the entry stub that gives it back as the
// tail of the host's call (see the header).
#include "host/menu_module_reference.h"

#include "module/entry_points.h"

namespace {

// The stub calls at most one HandleMessage at a time per thread; menus nested on one thread
// run in nested calls, each with its own slot.
struct EntryCall {
    EntryCall* outer;
    HMODULE release;
};
thread_local EntryCall* currentCall = nullptr;
// What the innermost entry call just returned with, for its stub to take at once.
thread_local HMODULE releaseOnReturn = nullptr;

}  // namespace

// Called by the stub: HandleMessage within an entry call's slot.
extern "C" INT32 TavorenHandleMessageBody(TavorenGif* viewer, UINT32 message, WPARAM wParam,
                                          LPARAM lParam) {
    EntryCall call{currentCall, nullptr};
    currentCall = &call;
    const INT32 result = HandleMessage(viewer, message, wParam, lParam);
    currentCall = call.outer;
    releaseOnReturn = call.release;
    return result;
}

// Called by the stub right after the body: the reference to give back, or null.
extern "C" HMODULE TavorenTakeModuleRelease() {
    const HMODULE module = releaseOnReturn;
    releaseOnReturn = nullptr;
    return module;
}

HMODULE HoldModuleForMenu() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&HoldModuleForMenu), &module);
    return module;
}

void GiveBackModuleAfterMenu(HMODULE module, bool viewerDestroyed) {
    if (!module) return;
    if (viewerDestroyed && currentCall && !currentCall->release) {
        currentCall->release = module;
        return;
    }
    FreeLibrary(module);
}

// The stub, per platform: call the body with the host's arguments as they came, take the
// reference to give back, and either return the body's result or jump to FreeLibrary with
// the module as its argument and the host's return address on top of the stack.
#if defined(__x86_64__) && defined(_WIN32)
asm(R"(
    .text
    .globl TavorenHandleMessageEntry
    .def TavorenHandleMessageEntry; .scl 2; .type 32; .endef
    .seh_proc TavorenHandleMessageEntry
TavorenHandleMessageEntry:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    call TavorenHandleMessageBody
    movl %eax, 32(%rsp)
    call TavorenTakeModuleRelease
    testq %rax, %rax
    jnz 1f
    movl 32(%rsp), %eax
    addq $40, %rsp
    ret
1:
    movq %rax, %rcx
    addq $40, %rsp
    jmp *__imp_FreeLibrary(%rip)
    .seh_endproc
)");
#elif defined(__i386__) && defined(_WIN32)
// cdecl in, stdcall FreeLibrary out: FreeLibrary pops its argument, so the host's return
// address moves one slot down and the module takes its place, leaving the stack as a cdecl
// return would.
asm(R"(
    .text
    .globl _TavorenHandleMessageEntry
    .def _TavorenHandleMessageEntry; .scl 2; .type 32; .endef
_TavorenHandleMessageEntry:
    pushl 16(%esp)
    pushl 16(%esp)
    pushl 16(%esp)
    pushl 16(%esp)
    call _TavorenHandleMessageBody
    addl $16, %esp
    pushl %eax
    call _TavorenTakeModuleRelease
    testl %eax, %eax
    jnz 1f
    popl %eax
    ret
1:
    popl %ecx
    movl (%esp), %ecx
    movl %eax, (%esp)
    pushl %ecx
    jmp *__imp__FreeLibrary@4
)");
#elif defined(__x86_64__) && defined(__ELF__)
asm(R"(
    .text
    .globl TavorenHandleMessageEntry
    .hidden TavorenHandleMessageEntry
    .type TavorenHandleMessageEntry, @function
TavorenHandleMessageEntry:
    .cfi_startproc
    pushq %rbx
    .cfi_def_cfa_offset 16
    .cfi_offset %rbx, -16
    call TavorenHandleMessageBody
    movl %eax, %ebx
    call TavorenTakeModuleRelease
    testq %rax, %rax
    jnz 1f
    movl %ebx, %eax
    popq %rbx
    .cfi_def_cfa_offset 8
    ret
1:
    .cfi_def_cfa_offset 16
    movq %rax, %rdi
    popq %rbx
    .cfi_def_cfa_offset 8
    jmp FreeLibrary@PLT
    .cfi_endproc
    .size TavorenHandleMessageEntry, .-TavorenHandleMessageEntry
)");
#else
#error "the message entry's stub is written for x86-64 (Windows, ELF) and x86 Windows"
#endif
