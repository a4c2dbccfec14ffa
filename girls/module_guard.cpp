// module_guard.cpp --- reads a girl module's resources so that a fault in her bytes ends the read,
// not the saver: the exception frames of x86-64 and i686, written out by hand.
#include "girls/module_guard.h"

// The addresses a guarded read may fault on: the module's mapping (a data file's handle is its
// base with a low bit set), and the space past it, where a part past the end would be looked for.
static ULONG_PTR guarded_from, guarded_to;
static volatile LONG guard_tripped;
static const ULONG_PTR PAST_THE_END = 16u << 20;

// Whether a fault is a read of the guarded module's bytes (Windows' advice for reading a mapped
// file: handle only an in-page error or access violation at an address in the mapping read).
static bool fault_in_module(const EXCEPTION_RECORD* record)
{
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION && record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR)
        return false;
    if (record->NumberParameters < 2 || guarded_to == 0)
        return false;
    ULONG_PTR address = record->ExceptionInformation[1];
    return address >= guarded_from && address < guarded_to;
}

#if defined(__x86_64__)

// On 64-bit Windows a function's exception handler is named in its unwind data, so the read runs
// inside a function written here in full, in assembly: nothing the compiler does (inlining,
// cloning, its own unwind data or handler, another optimisation) can copy or change it.
// skyflare_guarded_read(read, module, context) calls read(module, context) with the stack the
// calling convention asks (32 bytes of home space, aligned to 16 at the call), inside one scope
// of the C runtime's scope handler, __C_specific_handler: a fault its filter takes unwinds the
// read's frames (their own clean-up runs) and goes on at the scope's end, after the call.
// What it assumes, each checked where the build can check it:
// - x86-64 and its calling convention: this branch, and the static_assert below;
// - the filter's C name and form, (EXCEPTION_POINTERS*, frame) -> LONG: FILTER_FORM below;
// - __C_specific_handler from msvcrt.dll (pinned in tests/imports-x86_64.txt) and its scope
//   table (a count, then begin, end, filter and target as image-relative addresses): the test
//   "a fault while the system reads a module ends that read and nothing else" trips it;
// - labels of its own: .L names, local to this one definition, which the file holds once.
extern "C" __attribute__((used)) LONG skyflare_module_fault_filter(EXCEPTION_POINTERS* fault, void*)
{
    if (!fault_in_module(fault->ExceptionRecord))
        return EXCEPTION_CONTINUE_SEARCH;
    guard_tripped = 1;
    return EXCEPTION_EXECUTE_HANDLER;
}
static_assert(sizeof(void*) == 8 && sizeof(LONG) == 4, "the guard is written for x86-64 Windows");
// The scope handler calls the filter as LONG filter(EXCEPTION_POINTERS*, frame): another form
// would not convert.
[[maybe_unused]] static LONG (*const FILTER_FORM)(EXCEPTION_POINTERS*, void*) = skyflare_module_fault_filter;

extern "C" void skyflare_guarded_read(ModuleRead read, HMODULE module, void* context);
asm(R"(
    .text
    .p2align 4
    .globl skyflare_guarded_read
    .def skyflare_guarded_read; .scl 2; .type 32; .endef
skyflare_guarded_read:
    .seh_proc skyflare_guarded_read
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler __C_specific_handler, @except
    .seh_handlerdata
    .long 1
    .rva .Lskyflare_read_begin, .Lskyflare_read_end, skyflare_module_fault_filter, .Lskyflare_read_end
    .text
    movq %rcx, %rax
    movq %rdx, %rcx
    movq %r8, %rdx
.Lskyflare_read_begin:
    callq *%rax
    nop
.Lskyflare_read_end:
    addq $40, %rsp
    ret
    .seh_endproc
)");

static void guarded_call(ModuleRead read, HMODULE module, void* context)
{
    skyflare_guarded_read(read, module, context);
}

#elif defined(__i386__)

// On 32-bit Windows a handler is a record on the thread's chain at fs:[0]. Taking a fault, it
// lets the system unwind the frames of the read (their own clean-up runs) and jumps back.
struct ChainRecord {
    ChainRecord* previous;
    void* handler;
};
static void* read_return[5];

extern "C" EXCEPTION_DISPOSITION __cdecl skyflare_module_fault_handler(EXCEPTION_RECORD* record, void* frame,
                                                                       CONTEXT*, void*)
{
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) || !fault_in_module(record))
        return ExceptionContinueSearch;
    guard_tripped = 1;
    RtlUnwind(frame, nullptr, record, nullptr);
    __builtin_longjmp(read_return, 1);
}

static ChainRecord* chain_head()
{
    ChainRecord* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head) : : "memory");
    return head;
}

static void set_chain_head(ChainRecord* head)
{
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

static __attribute__((noinline)) void guarded_call(ModuleRead read, HMODULE module, void* context)
{
    ChainRecord record;
    record.previous = chain_head();
    record.handler = reinterpret_cast<void*>(skyflare_module_fault_handler);
    if (__builtin_setjmp(read_return) == 0) {
        set_chain_head(&record);
        read(module, context);
    }
    set_chain_head(record.previous);
}

#else
#error "module_file.cpp knows the exception frames of x86-64 and i686 only"
#endif

int read_module_guarded(HMODULE module, DWORD file_size, ModuleRead read, void* context)
{
    guarded_from = reinterpret_cast<ULONG_PTR>(module) & ~static_cast<ULONG_PTR>(3);
    guarded_to = guarded_from + file_size + PAST_THE_END;
    guard_tripped = 0;
    guarded_call(read, module, context);
    guarded_from = guarded_to = 0;
    return !guard_tripped;
}
