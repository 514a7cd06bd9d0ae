// The reference of the start-up figure: a GUI program that does nothing, compiled, linked and
// started as uninstall.exe is (static, stripped, the same C runtime start-up calling main), so
// that the figure shows what the uninstaller's own runtime, code and resources add.
int main() { return 0; }
