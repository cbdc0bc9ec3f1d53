# Writes the sources of the bench application: Main, whose static initialiser
# loads and initialises gen.C0 ... gen.C<count-1> before main starts, each a
# class with a little code for the VM to parse and verify. With LAMBDA=1 each
# class also makes a lambda as it is initialised, whose call site the VM
# links then.
file(MAKE_DIRECTORY "${OUT}/gen")
set(lambda "")
if(LAMBDA)
  set(lambda "
    static final java.util.function.IntSupplier NEXT = () -> SEED + 1;")
endif()
foreach(i RANGE 1 ${COUNT})
  math(EXPR n "${i} - 1")
  file(WRITE "${OUT}/gen/C${n}.java" "package gen;
public class C${n} implements java.util.function.IntUnaryOperator {
    static final int SEED = ${n};${lambda}
    private final int[] table = new int[8];
    public C${n}() { for (int i = 0; i < table.length; ++i) table[i] = SEED * 31 + i; }
    public int applyAsInt(int x) { return x < 0 ? -x : table[x & 7] ^ x + SEED; }
    public String toString() { return \"C${n}\" + table[SEED & 7]; }
    static long mix(long a, long b) { long c = a * 0x9E3779B97F4A7C15L; return (c ^ b) >>> 7; }
}
")
endforeach()
file(WRITE "${OUT}/Main.java" "// Prints, first thing in main, the monotonic clock the bench started its
// timer on, once ${COUNT} classes have been loaded and initialised.
public class Main {
    static {
        try {
            for (int i = 0; i < ${COUNT}; ++i) Class.forName(\"gen.C\" + i);
        } catch (ClassNotFoundException e) {
            throw new ExceptionInInitializerError(e);
        }
    }
    public static void main(String[] args) {
        System.out.println(System.nanoTime());
    }
}
")
