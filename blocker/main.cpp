// Halvorn, the Windows-key blocker that the custom key dialog starts. Until it captures the keys
// it ends at once.
int main() { return 0; }
