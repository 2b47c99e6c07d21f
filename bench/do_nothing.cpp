// The floor for process start-up: a console program that does nothing,
// built and started exactly as the programs under measurement are.
int main() { return 0; }
