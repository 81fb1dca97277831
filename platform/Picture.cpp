// placeholder: implemented by the platform work
