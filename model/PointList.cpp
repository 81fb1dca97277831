// placeholder: implemented by the model work
